// The operations every engine shares: hashing a file or a text and writing
// the hash text of a digest.
#include "engines/hash_object.h"

#include <algorithm>
#include <memory>

#include "common/error_record.h"
#include "common/os/error_codes.h"
#include "common/os/file.h"
#include "common/encoding.h"
#include "engines/hash_text.h"

namespace qm {
namespace {

constexpr char16_t kOpenFailed[] = u"计算文件校验时打开文件失败";
constexpr char16_t kReadFailed[] = u"计算文件校验时读取文件失败";

// Size of what `handle` refers to: the length of a regular file, the end
// offset of anything seekable, 0 otherwise. Directories are refused the way
// the platform refuses to open them as files.
bool GetInputSize(os::FileHandle handle, uint64_t& size) {
    os::FileAttributes attributes;
    if (!os::GetHandleAttributes(handle, attributes)) return false;
    if (attributes.kind == os::FileKind::Directory) {
        os::SetLastErrorCode(os::kErrorIsDirectory);
        return false;
    }
    if (attributes.kind == os::FileKind::Regular) {
        size = attributes.size;
        return true;
    }
    uint64_t end = 0;
    if (!os::SeekFile(handle, 0, os::SeekOrigin::End, &end) || end == 0 ||
        !os::SeekFile(handle, 0, os::SeekOrigin::Begin)) {
        size = 0;
        return true;
    }
    size = end;
    return true;
}

}  // namespace

bool CQmHashObject::HashFile(std::u16string_view path, uint64_t maxBytes, uint8_t* digest) {
    // Opening a FIFO does not wait for a writer (os/file.h).
    os::UniqueFile fd = os::OpenForReading(path);
    uint64_t size = 0;
    if (!fd || !GetInputSize(fd.get(), size)) {
        SetLastErrorText(0, kOpenFailed);
        return false;
    }
    os::AdviseSequentialRead(fd.get());

    // Init before the first read, as an empty file still needs Init and Final.
    if (!Init()) return false;
    uint64_t remaining = (maxBytes != QM_HASH_WHOLE_FILE && maxBytes < size) ? maxBytes : size;
    if (remaining > 0) {
        const auto buffer = std::make_unique_for_overwrite<uint8_t[]>(QM_HASH_FILE_BLOCK);
        while (remaining > 0) {
            const size_t want = static_cast<size_t>(std::min<uint64_t>(remaining, QM_HASH_FILE_BLOCK));
            const int64_t got = os::ReadFileData(fd.get(), buffer.get(), want);
            if (got < 0) {
                SetLastErrorText(0, kReadFailed);
                return false;
            }
            // The file became shorter than it was when we took its size: what
            // it holds now has been hashed, and nothing more will come.
            if (got == 0) break;
            Update(buffer.get(), static_cast<uint32_t>(got));
            remaining -= static_cast<uint64_t>(got);
        }
    }
    return Final(digest) != 0;
}

bool CQmHashObject::HashText(const char16_t* text, std::ptrdiff_t length, int32_t encoding, uint8_t* digest) {
    std::string bytes;
    // The conversion records its own message when it fails.
    if (!EncodeText(text, length, /*withNul=*/false, encoding, bytes)) return false;
    if (!Init()) return false;
    // Update takes 32-bit counts; a text beyond 4 GiB is fed in pieces.
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const uint32_t n = static_cast<uint32_t>(std::min<size_t>(left, 0x80000000u));
        Update(p, n);
        p += n;
        left -= n;
    }
    return Final(digest) != 0;
}

void CQmHashObject::GetHashText(const uint8_t* digest, std::u16string& text) {
    char16_t buffer[QM_MAX_HASH_TEXT_CHARS];
    if (!FormatHashText(digest, buffer, QM_MAX_HASH_TEXT_CHARS)) buffer[0] = u'\0';
    text.assign(buffer);
}

bool CQmHashObject::FormatHashText(const uint8_t* digest, char16_t* buffer, size_t bufferChars) {
    const size_t size = GetHashSize();
    if (bufferChars <= 2 * size) {
        SetErrorText(os::kErrorBufferTooSmall, u"获取哈希值文本失败:缓冲区不足。");
        if (bufferChars > 0) buffer[0] = u'\0';
        return false;
    }
    BytesToHexText(digest, size, nullptr, buffer, bufferChars);
    return true;
}

}  // namespace qm
