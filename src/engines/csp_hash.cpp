// Provider-backed engines over the OS layer's cryptographic provider.
#include "engines/csp_hash.h"

#include <atomic>
#include <cstring>
#include <type_traits>

#include "common/error_record.h"

namespace qm {
namespace {

// Bit (algId - QM_CALG_MD2) set: the test hook has made the algorithm
// unavailable.
std::atomic<uint32_t> g_unavailableForTesting{0};

bool IsUnavailableForTesting(uint32_t algId) {
    if (algId < QM_CALG_MD2 || algId - QM_CALG_MD2 >= 32) return false;
    return (g_unavailableForTesting.load(std::memory_order_acquire) >> (algId - QM_CALG_MD2)) & 1u;
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

CQmCspHashObject::~CQmCspHashObject() = default;

CQmCspHashObject::Backend CQmCspHashObject::GetBackend() const {
    if (providerHash_) return Backend::Library;
    if (!std::holds_alternative<std::monostate>(own_)) return Backend::OwnCode;
    return Backend::None;
}

bool CQmCspHashObject::AcquireProvider() {
    uint32_t code = 0;
    if (provider_.Acquire(algId_, code)) return true;
    SetLastErrorText(code, u"获取加密句柄失败");
    return false;
}

bool CQmCspHashObject::CreateHashObject() {
    static constexpr char16_t kContext[] = u"创建HASH对象失败";
    if (IsUnavailableForTesting(algId_)) {
        SetLastErrorText(os::kErrorNotSupported, kContext);
        return false;
    }
    // Once our own code stands in for the provider it does so for the
    // engine's life.
    if (!std::holds_alternative<std::monostate>(own_)) {
        std::visit(
            [](auto& own) {
                if constexpr (!std::is_same_v<std::decay_t<decltype(own)>, std::monostate>) own.Init();
            },
            own_);
        return true;
    }
    uint32_t code = 0;
    switch (hash_.Begin(provider_, algId_, code)) {
    case os::CryptoHash::BeginResult::Started:
        providerHash_ = true;
        return true;
    case os::CryptoHash::BeginResult::Unsupported:
        if (algId_ == QM_CALG_MD2 || algId_ == QM_CALG_MD4) {
            if (algId_ == QM_CALG_MD2) own_.emplace<Md2Context>();
            else own_.emplace<Md4Context>();
            return CreateHashObject();
        }
        break;
    case os::CryptoHash::BeginResult::Failed:
        break;
    }
    SetLastErrorText(code, kContext);
    return false;
}

bool CQmCspHashObject::Init() {
    // Whatever happens below, the previous digest is gone.
    hashState_ = HashState::None;
    if (!provider_.IsAcquired() && !AcquireProvider()) return false;
    if (!CreateHashObject()) return false;
    hashState_ = HashState::Open;
    return true;
}

void CQmCspHashObject::Update(const void* data, uint32_t size) {
    if (hashState_ != HashState::Open || size == 0) return;
    if (providerHash_) {
        hash_.Update(data, size);
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
        if (providerHash_) {
            uint32_t length = 0;
            uint32_t code = 0;
            const bool done = hash_.Finish(finished_, length, code);
            if (!done || length != size) {
                hashState_ = HashState::None;
                SetLastErrorText(done ? os::kErrorInvalidArgument : code, kContext);
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
        SetLastErrorText(os::kErrorInvalidArgument, kContext);
        return 0;
    }
    std::memcpy(digest, finished_, size);
    return size;
}

}  // namespace qm
