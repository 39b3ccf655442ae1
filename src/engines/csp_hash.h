// Engines backed by the system's cryptographic provider: MD2, MD4, SHA-256,
// SHA-384 and SHA-512.
//
// CQmCspHashObject implements the engine interface once for all of them;
// each algorithm only fixes its class id, name, digest size and algorithm id.
// The provider an engine acquires on its first Init is its own
// (os/crypto_provider.h), so nothing is shared between engines or threads.
// Where the provider has no MD2 or MD4, our own code (md2.h) stands behind
// the same class.
#pragma once

#include <cstdint>
#include <variant>

#include "common/os/crypto_provider.h"
#include "engines/hash_object.h"
#include "engines/md2.h"

namespace qm {

// Algorithm ids; the provider family follows from them (0x800C to 0x800E are
// the SHA-2 family, everything else the MD family).
inline constexpr uint32_t QM_CALG_MD2 = 0x8001;
inline constexpr uint32_t QM_CALG_MD4 = 0x8002;
inline constexpr uint32_t QM_CALG_SHA_256 = 0x800C;
inline constexpr uint32_t QM_CALG_SHA_384 = 0x800D;
inline constexpr uint32_t QM_CALG_SHA_512 = 0x800E;

class CQmCspHashObject : public CQmHashObject {
public:
    enum class Backend { None, Library, OwnCode };

    CQmCspHashObject(int32_t classId, const char16_t* name, uint32_t hashSize, uint32_t algId);
    CQmCspHashObject(const CQmCspHashObject&) = delete;
    CQmCspHashObject& operator=(const CQmCspHashObject&) = delete;

    // Acquires the provider on first use ("获取加密句柄失败") and starts a new
    // hash object ("创建HASH对象失败"); the previous digest is discarded.
    bool Init() override;
    // Feeds the provider directly from the caller's buffer. Does nothing
    // without a hash object (after a failed Init or after Final).
    void Update(const void* data, uint32_t size) override;
    // The digest size, or 0 after recording "获取HASH值失败". A finished hash
    // object keeps its value: Final again gives the same bytes.
    uint32_t Final(uint8_t* digest) override;
    // Releases the hash object, then the provider.
    ~CQmCspHashObject() override;

    uint32_t GetAlgId() const { return algId_; }
    // Where the digests come from (None until the first successful Init).
    Backend GetBackend() const;

private:
    enum class HashState { None, Open, Finished };

    bool AcquireProvider();
    bool CreateHashObject();

    // In this order, so the hash object goes before the provider it was made with.
    os::CryptoProvider provider_;
    os::CryptoHash hash_;
    bool providerHash_ = false;  // digests come from hash_ (else from own_)
    std::variant<std::monostate, Md2Context, Md4Context> own_;
    uint32_t algId_;
    HashState hashState_ = HashState::None;
    uint8_t finished_[QM_MAX_DIGEST_SIZE] = {};
};

class CQmCspMd2 : public CQmCspHashObject {
public:
    CQmCspMd2() : CQmCspHashObject(QM_HASH_MD2, u"MD2", 16, QM_CALG_MD2) {}
};

class CQmCspMd4 : public CQmCspHashObject {
public:
    CQmCspMd4() : CQmCspHashObject(QM_HASH_MD4, u"MD4", 16, QM_CALG_MD4) {}
};

class CQmCspSha256 : public CQmCspHashObject {
public:
    CQmCspSha256() : CQmCspHashObject(QM_HASH_SHA256, u"SHA256", 32, QM_CALG_SHA_256) {}
};

class CQmCspSha384 : public CQmCspHashObject {
public:
    CQmCspSha384() : CQmCspHashObject(QM_HASH_SHA384, u"SHA384", 48, QM_CALG_SHA_384) {}
};

class CQmCspSha512 : public CQmCspHashObject {
public:
    CQmCspSha512() : CQmCspHashObject(QM_HASH_SHA512, u"SHA512", 64, QM_CALG_SHA_512) {}
};

// Test hook: while set, hash objects of `algId` cannot be created, as with a
// provider that lacks the algorithm. Nothing in the program's interface
// reaches it.
void SetCspAlgorithmUnavailableForTesting(uint32_t algId, bool unavailable);

}  // namespace qm
