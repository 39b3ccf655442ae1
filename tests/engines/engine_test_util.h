// Helpers shared by the engine tests: reproducible data, hex, digests made
// by the library's one-shot functions (an oracle independent of our code),
// and feeding an engine in pieces.
#pragma once

#if defined(_WIN32)
#include "support/cng_digest.h"
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

// The library's digest of `data` ("SHA1", "MD5", "SHA256", "MD4", ...), in a
// library context of the test's own with the legacy provider where asked
// for. Empty when the library lacks the algorithm.
inline std::string ReferenceHex(const char* name, std::string_view data) {
#if defined(_WIN32)
    const std::vector<uint8_t> digest = CngDigest(name, data);
    return digest.empty() ? std::string() : Hex(digest.data(), digest.size());
#else
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
#endif
}

}  // namespace qm::test
