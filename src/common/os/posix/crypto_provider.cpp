#include "common/os/crypto_provider.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cerrno>

namespace qm::os {
namespace {

bool IsSha2Family(uint32_t algId) { return algId >= 0x800C && algId <= 0x800E; }

const char* LibraryName(uint32_t algId) {
    switch (algId) {
        case 0x8001: return "MD2";
        case 0x8002: return "MD4";
        case 0x800C: return "SHA2-256";
        case 0x800D: return "SHA2-384";
        case 0x800E: return "SHA2-512";
        default: return nullptr;
    }
}

// The library's error queue is per thread; a failure handled here must not
// be reported again by unrelated code later on the same thread.
void Fail(uint32_t& code, uint32_t reason) {
    ERR_clear_error();
    code = reason;
}

}  // namespace

CryptoProvider::~CryptoProvider() {
    if (legacyProvider_) OSSL_PROVIDER_unload(legacyProvider_);
    if (defaultProvider_) OSSL_PROVIDER_unload(defaultProvider_);
    OSSL_LIB_CTX_free(libCtx_);
}

bool CryptoProvider::IsAcquired() const { return libCtx_ != nullptr; }

bool CryptoProvider::Acquire(uint32_t algId, uint32_t& code) {
    if (libCtx_) return true;
    libCtx_ = OSSL_LIB_CTX_new();
    if (!libCtx_) {
        Fail(code, ENOMEM);
        return false;
    }
    defaultProvider_ = OSSL_PROVIDER_load(libCtx_, "default");
    if (!defaultProvider_) {
        OSSL_LIB_CTX_free(libCtx_);
        libCtx_ = nullptr;
        Fail(code, ELIBACC);
        return false;
    }
    if (!IsSha2Family(algId)) {
        // MD4 lives in the legacy provider; without it the caller's own code
        // serves.
        legacyProvider_ = OSSL_PROVIDER_load(libCtx_, "legacy");
        if (!legacyProvider_) ERR_clear_error();
    }
    return true;
}

CryptoHash::~CryptoHash() { Destroy(); }

void CryptoHash::Destroy() {
    EVP_MD_CTX_free(ctx_);
    ctx_ = nullptr;
    EVP_MD_free(md_);
    md_ = nullptr;
}

CryptoHash::BeginResult CryptoHash::Begin(CryptoProvider& provider, uint32_t algId, uint32_t& code) {
    if (!md_) {
        const char* name = LibraryName(algId);
        md_ = name && provider.libCtx_ ? EVP_MD_fetch(provider.libCtx_, name, nullptr) : nullptr;
        if (!md_) {
            Fail(code, ENOTSUP);
            return BeginResult::Unsupported;
        }
    }
    if (!ctx_) ctx_ = EVP_MD_CTX_new();
    if (!ctx_) {
        Fail(code, ENOMEM);
        return BeginResult::Failed;
    }
    // Re-initialising a context discards the digest it held.
    if (!EVP_DigestInit_ex2(ctx_, md_, nullptr)) {
        Fail(code, EINVAL);
        return BeginResult::Failed;
    }
    return BeginResult::Started;
}

void CryptoHash::Update(const void* data, uint32_t size) {
    if (ctx_) EVP_DigestUpdate(ctx_, data, size);
}

bool CryptoHash::Finish(uint8_t* digest, uint32_t& length, uint32_t& code) {
    unsigned int size = 0;
    if (!ctx_ || !EVP_DigestFinal_ex(ctx_, digest, &size)) {
        Fail(code, EINVAL);
        return false;
    }
    length = size;
    return true;
}

}  // namespace qm::os
