// The system's cryptographic provider, for the digests the program does not
// compute itself (MD2, MD4, SHA-256, SHA-384, SHA-512).
//
// Windows: CryptoAPI. The provider is a context acquired for the key
// container "Zantoria" of the default provider of its type (PROV_RSA_AES for
// the SHA-2 family, PROV_RSA_FULL for the rest), created on the first run;
// a digest is a hash object of that context. Linux: the cryptographic
// library's EVP digests; the provider is a library context of the engine's
// own with the default provider (and, for the MD family, the legacy one when
// it loads), so nothing is shared between engines or threads.
//
// Algorithms are named by their CryptoAPI ids (0x8001 MD2, 0x8002 MD4,
// 0x800C to 0x800E SHA-256/384/512). Failures come back as the system's
// error code; the engine records its texts with it.
#pragma once

#include <cstdint>

#if !defined(_WIN32)
struct ossl_lib_ctx_st;
struct ossl_provider_st;
struct evp_md_st;
struct evp_md_ctx_st;
#endif

namespace qm::os {

class CryptoProvider {
public:
    CryptoProvider() = default;
    ~CryptoProvider();
    CryptoProvider(const CryptoProvider&) = delete;
    CryptoProvider& operator=(const CryptoProvider&) = delete;

    // Acquires the provider the family of `algId` needs. False with the
    // reason in `code`.
    bool Acquire(uint32_t algId, uint32_t& code);
    bool IsAcquired() const;

private:
    friend class CryptoHash;
#if defined(_WIN32)
    uintptr_t provider_ = 0;  // HCRYPTPROV
#else
    ossl_lib_ctx_st* libCtx_ = nullptr;
    ossl_provider_st* defaultProvider_ = nullptr;
    ossl_provider_st* legacyProvider_ = nullptr;
#endif
};

// One digest at a time of one algorithm, through an acquired provider. The
// owner destroys it before the provider it was made with.
class CryptoHash {
public:
    enum class BeginResult { Started, Unsupported, Failed };

    CryptoHash() = default;
    ~CryptoHash();
    CryptoHash(const CryptoHash&) = delete;
    CryptoHash& operator=(const CryptoHash&) = delete;

    // Discards the previous digest, if any, and starts a new one of `algId`.
    // Unsupported: the provider lacks the algorithm (callers may compute it
    // some other way); Failed: any other failure. Either way `code` is the
    // reason and no digest is open.
    BeginResult Begin(CryptoProvider& provider, uint32_t algId, uint32_t& code);

    // Feeds the open digest; the result is not checked (a provider that
    // fails here fails Finish).
    void Update(const void* data, uint32_t size);

    // Finishes the digest into `digest` (64 bytes of room) and gives its
    // length in `length`. False with the reason in `code`.
    bool Finish(uint8_t* digest, uint32_t& length, uint32_t& code);

private:
    void Destroy();

#if defined(_WIN32)
    uintptr_t hash_ = 0;  // HCRYPTHASH
#else
    evp_md_st* md_ = nullptr;  // fetched once, kept across digests
    evp_md_ctx_st* ctx_ = nullptr;
#endif
};

}  // namespace qm::os
