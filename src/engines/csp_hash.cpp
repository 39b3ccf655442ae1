// Provider-backed engines over the library's EVP digests.
#include "engines/csp_hash.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <type_traits>

#include "common/error_record.h"

namespace qm {
namespace {

// Bit (algId - QM_CALG_MD2) set: the test hook has made the algorithm
// unavailable.
std::atomic<uint32_t> g_unavailableForTesting{0};

bool IsSha2Family(uint32_t algId) { return algId >= QM_CALG_SHA_256 && algId <= QM_CALG_SHA_512; }

const char* LibraryName(uint32_t algId) {
    switch (algId) {
        case QM_CALG_MD2: return "MD2";
        case QM_CALG_MD4: return "MD4";
        case QM_CALG_SHA_256: return "SHA2-256";
        case QM_CALG_SHA_384: return "SHA2-384";
        case QM_CALG_SHA_512: return "SHA2-512";
        default: return nullptr;
    }
}

bool IsUnavailableForTesting(uint32_t algId) {
    if (algId < QM_CALG_MD2 || algId - QM_CALG_MD2 >= 32) return false;
    return (g_unavailableForTesting.load(std::memory_order_acquire) >> (algId - QM_CALG_MD2)) & 1u;
}

// The library's error queue is per thread; a failure handled here must not
// be reported again by unrelated code later on the same thread.
void Fail(uint32_t code, const char16_t* context) {
    ERR_clear_error();
    SetLastErrorText(code, context);
}

}  // namespace

void SetCspAlgorithmUnavailableForTesting(uint32_t algId, bool unavailable) {
    if (algId < QM_CALG_MD2 || algId - QM_CALG_MD2 >= 32) return;
    const uint32_t bit = 1u << (algId - QM_CALG_MD2);
    if (unavailable) {
        g_unavailableForTesting.fetch_or(bit, std::memory_order_acq_rel);
    } else {
        g_unavailableForTesting.fetch_and(~bit, std::memory_order_acq_rel);
    }
}

CQmCspHashObject::CQmCspHashObject(int32_t classId, const char16_t* name, uint32_t hashSize, uint32_t algId)
    : CQmHashObject(classId, name, hashSize), algId_(algId) {}

CQmCspHashObject::~CQmCspHashObject() {
    EVP_MD_CTX_free(ctx_);
    EVP_MD_free(md_);
    if (legacyProvider_) OSSL_PROVIDER_unload(legacyProvider_);
    if (defaultProvider_) OSSL_PROVIDER_unload(defaultProvider_);
    OSSL_LIB_CTX_free(libCtx_);
}

CQmCspHashObject::Backend CQmCspHashObject::GetBackend() const {
    if (md_) return Backend::Library;
    if (!std::holds_alternative<std::monostate>(own_)) return Backend::OwnCode;
    return Backend::None;
}

bool CQmCspHashObject::AcquireProvider() {
    static constexpr char16_t kContext[] = u"获取加密句柄失败";
    libCtx_ = OSSL_LIB_CTX_new();
    if (!libCtx_) {
        Fail(ENOMEM, kContext);
        return false;
    }
    defaultProvider_ = OSSL_PROVIDER_load(libCtx_, "default");
    if (!defaultProvider_) {
        OSSL_LIB_CTX_free(libCtx_);
        libCtx_ = nullptr;
        Fail(ELIBACC, kContext);
        return false;
    }
    if (!IsSha2Family(algId_)) {
        // MD4 lives in the legacy provider; without it our own code serves.
        legacyProvider_ = OSSL_PROVIDER_load(libCtx_, "legacy");
        if (!legacyProvider_) ERR_clear_error();
    }
    return true;
}

bool CQmCspHashObject::CreateHashObject() {
    static constexpr char16_t kContext[] = u"创建HASH对象失败";
    if (IsUnavailableForTesting(algId_)) {
        Fail(ENOTSUP, kContext);
        return false;
    }
    if (!md_ && std::holds_alternative<std::monostate>(own_)) {
        const char* name = LibraryName(algId_);
        md_ = name ? EVP_MD_fetch(libCtx_, name, nullptr) : nullptr;
        if (!md_) {
            ERR_clear_error();
            if (algId_ == QM_CALG_MD2) {
                own_.emplace<Md2Context>();
            } else if (algId_ == QM_CALG_MD4) {
                own_.emplace<Md4Context>();
            } else {
                Fail(ENOTSUP, kContext);
                return false;
            }
        }
    }
    if (md_) {
        if (!ctx_) ctx_ = EVP_MD_CTX_new();
        if (!ctx_) {
            Fail(ENOMEM, kContext);
            return false;
        }
        if (!EVP_DigestInit_ex2(ctx_, md_, nullptr)) {
            Fail(EINVAL, kContext);
            return false;
        }
        return true;
    }
    std::visit(
        [](auto& own) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(own)>, std::monostate>) own.Init();
        },
        own_);
    return true;
}

bool CQmCspHashObject::Init() {
    // Whatever happens below, the previous digest is gone.
    hashState_ = HashState::None;
    if (!libCtx_ && !AcquireProvider()) return false;
    if (!CreateHashObject()) return false;
    hashState_ = HashState::Open;
    return true;
}

void CQmCspHashObject::Update(const void* data, uint32_t size) {
    if (hashState_ != HashState::Open || size == 0) return;
    if (md_) {
        EVP_DigestUpdate(ctx_, data, size);
        return;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::visit(
        [&](auto& own) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(own)>, std::monostate>) own.Update(bytes, size);
        },
        own_);
}

uint32_t CQmCspHashObject::Final(uint8_t* digest) {
    static constexpr char16_t kContext[] = u"获取HASH值失败";
    const uint32_t size = GetHashSize();
    if (hashState_ == HashState::Open) {
        if (md_) {
            unsigned int length = 0;
            if (!EVP_DigestFinal_ex(ctx_, finished_, &length) || length != size) {
                hashState_ = HashState::None;
                Fail(EINVAL, kContext);
                return 0;
            }
        } else {
            std::visit(
                [&](auto& own) {
                    if constexpr (!std::is_same_v<std::decay_t<decltype(own)>, std::monostate>) own.Final(finished_);
                },
                own_);
        }
        hashState_ = HashState::Finished;
    }
    if (hashState_ != HashState::Finished) {
        Fail(EINVAL, kContext);
        return 0;
    }
    std::memcpy(digest, finished_, size);
    return size;
}

}  // namespace qm
