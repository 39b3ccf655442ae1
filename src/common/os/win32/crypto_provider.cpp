#include "common/os/crypto_provider.h"

#include <windows.h>
#include <wincrypt.h>

namespace qm::os {
namespace {

// The key container: the company part of the settings key. It has no use
// beyond satisfying the provider interface.
constexpr wchar_t kContainer[] = L"Zantoria";

// The SHA-2 family (CALG_SHA_256 to CALG_SHA_512) needs the AES provider type.
DWORD ProviderType(uint32_t algId) { return algId >= 0x800C && algId <= 0x800E ? PROV_RSA_AES : PROV_RSA_FULL; }

}  // namespace

CryptoProvider::~CryptoProvider() {
    if (provider_) CryptReleaseContext(static_cast<HCRYPTPROV>(provider_), 0);
}

bool CryptoProvider::IsAcquired() const { return provider_ != 0; }

bool CryptoProvider::Acquire(uint32_t algId, uint32_t& code) {
    if (provider_) return true;
    HCRYPTPROV handle = 0;
    const DWORD type = ProviderType(algId);
    if (!CryptAcquireContextW(&handle, kContainer, nullptr, type, 0)) {
        // The first run on a machine: the container does not exist yet.
        if (GetLastError() != static_cast<DWORD>(NTE_BAD_KEYSET) ||
            !CryptAcquireContextW(&handle, kContainer, nullptr, type, CRYPT_NEWKEYSET)) {
            code = GetLastError();
            return false;
        }
    }
    provider_ = handle;
    return true;
}

CryptoHash::~CryptoHash() { Destroy(); }

void CryptoHash::Destroy() {
    if (hash_) CryptDestroyHash(static_cast<HCRYPTHASH>(hash_));
    hash_ = 0;
}

CryptoHash::BeginResult CryptoHash::Begin(CryptoProvider& provider, uint32_t algId, uint32_t& code) {
    Destroy();
    HCRYPTHASH handle = 0;
    if (!provider.provider_ ||
        !CryptCreateHash(static_cast<HCRYPTPROV>(provider.provider_), static_cast<ALG_ID>(algId), 0, 0, &handle)) {
        code = provider.provider_ ? GetLastError() : static_cast<uint32_t>(ERROR_INVALID_HANDLE);
        return code == static_cast<DWORD>(NTE_BAD_ALGID) ? BeginResult::Unsupported : BeginResult::Failed;
    }
    hash_ = handle;
    return BeginResult::Started;
}

void CryptoHash::Update(const void* data, uint32_t size) {
    if (hash_) CryptHashData(static_cast<HCRYPTHASH>(hash_), static_cast<const BYTE*>(data), size, 0);
}

bool CryptoHash::Finish(uint8_t* digest, uint32_t& length, uint32_t& code) {
    DWORD size = 64;  // the caller's room, as the provider wants it on entry
    if (!hash_ || !CryptGetHashParam(static_cast<HCRYPTHASH>(hash_), HP_HASHVAL, digest, &size, 0)) {
        code = hash_ ? GetLastError() : static_cast<uint32_t>(ERROR_INVALID_HANDLE);
        return false;
    }
    length = size;
    return true;
}

}  // namespace qm::os
