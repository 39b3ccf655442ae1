// Digests by the system's CNG primitives (bcrypt.dll) for the Windows test
// build: an oracle apart from our engines, whose provider-backed ones use the
// older CryptoAPI, as the Linux build checks against OpenSSL. Defined in
// win32_support.cpp, so the tests that use it do not see <windows.h> and its
// macros (RegisterClass and the like would rename their calls).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace qm::test {

// The digest of `data` by the algorithm named as OpenSSL names it ("MD4",
// "SHA1", "SHA256", ...). Empty when the system lacks it.
std::vector<uint8_t> CngDigest(std::string_view name, std::string_view data);

}  // namespace qm::test
