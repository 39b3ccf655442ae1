// Helpers shared by the engine tests: reproducible data, hex, digests made
// by the system's own one-shot functions (an oracle independent of our
// code: the cryptographic library on Linux, CryptoAPI in a key-less context
// on Windows), and feeding an engine in pieces.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#include <wincrypt.h>
// The window-class macro would rename the catalogue's RegisterClass in the
// tests that include this after the catalogue's header.
#undef RegisterClass
#else
#include <openssl/evp.h>
#include <openssl/provider.h>
#endif

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engines/hash_object.h"

namespace qm::test {

inline std::string RandomBytes(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(rng() & 0xFF);
    return bytes;
}

inline std::string Hex(const uint8_t* data, size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 15];
    }
    return text;
}

// Init, one Update per piece (pieces of `pieceSizes` in turn, repeating the
// list until the data is used up; empty list = one call), Final; lower-case hex.
inline std::string DigestHex(CQmHashObject& engine, std::string_view data, const std::vector<size_t>& pieceSizes = {}) {
    if (!engine.Init()) return "<init failed>";
    size_t offset = 0;
    for (size_t i = 0; offset < data.size(); ++i) {
        size_t n = pieceSizes.empty() ? data.size() : pieceSizes[i % pieceSizes.size()];
        if (n > data.size() - offset) n = data.size() - offset;
        engine.Update(data.data() + offset, static_cast<uint32_t>(n));
        offset += n;
    }
    uint8_t digest[QM_MAX_DIGEST_SIZE];
    const uint32_t size = engine.Final(digest);
    return Hex(digest, size);
}

// The system's digest of `data` ("SHA1", "MD5", "SHA256", "MD4", ...), in a
// context of the test's own (with the library's legacy provider where asked
// for). Empty when the system lacks the algorithm.
#if defined(_WIN32)
inline std::string ReferenceHex(const char* name, std::string_view data) {
    const std::string_view n(name);
    const ALG_ID id = n == "MD2"      ? CALG_MD2
                      : n == "MD4"    ? CALG_MD4
                      : n == "MD5"    ? CALG_MD5
                      : n == "SHA1"   ? CALG_SHA1
                      : n == "SHA256" ? CALG_SHA_256
                      : n == "SHA384" ? CALG_SHA_384
                      : n == "SHA512" ? CALG_SHA_512
                                      : 0;
    HCRYPTPROV provider = 0;
    if (id == 0 || !CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) return {};
    std::string hex;
    HCRYPTHASH hash = 0;
    if (CryptCreateHash(provider, id, 0, 0, &hash)) {
        BYTE digest[64];
        DWORD size = sizeof digest;
        if (CryptHashData(hash, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()), 0) &&
            CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0)) {
            hex = Hex(digest, size);
        }
        CryptDestroyHash(hash);
    }
    CryptReleaseContext(provider, 0);
    return hex;
}
#else
inline std::string ReferenceHex(const char* name, std::string_view data) {
    struct Context {
        OSSL_LIB_CTX* ctx = OSSL_LIB_CTX_new();
        OSSL_PROVIDER* base = OSSL_PROVIDER_load(ctx, "default");
        OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(ctx, "legacy");
        ~Context() {
            if (legacy) OSSL_PROVIDER_unload(legacy);
            if (base) OSSL_PROVIDER_unload(base);
            OSSL_LIB_CTX_free(ctx);
        }
    };
    static Context context;
    EVP_MD* md = EVP_MD_fetch(context.ctx, name, nullptr);
    if (!md) return {};
    uint8_t digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    const bool ok = EVP_Digest(data.data(), data.size(), digest, &size, md, nullptr) == 1;
    EVP_MD_free(md);
    return ok ? Hex(digest, size) : std::string();
}
#endif

}  // namespace qm::test
