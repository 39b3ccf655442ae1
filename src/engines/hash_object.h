// The hash engine interface.
//
// One engine class per algorithm, all behind CQmHashObject: Init, any number
// of Update calls, Final. Engines are made by the algorithm catalogue
// (hash_catalog.h) and owned through std::unique_ptr<CQmHashObject>; an
// engine is used by one thread at a time and knows nothing of threads, lists
// or windows.
//
// The virtual operations keep a fixed slot order (Init, Update, Final,
// HashFile, HashText, GetHashText, FormatHashText, then the destructor);
// derived engines replace slots and never add any before the destructor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

// Algorithm class ids. The numbers are stored in hash lists and settings, so
// they never change; 6 and 10 are unassigned on purpose.
enum QmHashClassId : int32_t {
    QM_HASH_NONE = 0,
    QM_HASH_CRC32 = 1,
    QM_HASH_MD2 = 2,
    QM_HASH_MD4 = 3,
    QM_HASH_MD5 = 4,
    QM_HASH_SHA1 = 5,
    QM_HASH_SHA256 = 7,
    QM_HASH_SHA384 = 8,
    QM_HASH_SHA512 = 9,
    QM_HASH_115 = 11,
};

// The algorithm of a new document.
inline constexpr int32_t QM_HASH_DEFAULT = QM_HASH_SHA1;

// Every digest holder reserves this many bytes (SHA-512 is the longest).
inline constexpr uint32_t QM_MAX_DIGEST_SIZE = 64;

// Room for the longest text FormatHashText writes (128 digits) and its NUL.
inline constexpr size_t QM_MAX_HASH_TEXT_CHARS = 129;

// The buffer callers give GetHashValueText (hash_text.h).
inline constexpr size_t QM_HASH_TEXT_BUFFER_CHARS = 260;

// `maxBytes` of HashFile meaning "the whole file".
inline constexpr uint64_t QM_HASH_WHOLE_FILE = ~uint64_t{0};

// HashFile reads in blocks of this size.
inline constexpr uint32_t QM_HASH_FILE_BLOCK = 131072;

// Class id and display name. Not polymorphic: the name is static text that
// lives as long as the program.
class CQmObject {
public:
    int32_t GetClassId() const { return classId_; }
    const char16_t* GetName() const { return name_; }

protected:
    CQmObject() = default;
    CQmObject(int32_t classId, const char16_t* name) : classId_(classId), name_(name) {}
    CQmObject(const CQmObject&) = default;
    CQmObject& operator=(const CQmObject&) = default;
    ~CQmObject() = default;

private:
    int32_t classId_ = 0;
    const char16_t* name_ = u"";
};

class CQmHashObject : public CQmObject {
public:
    // 0. Starts a new digest, discarding whatever the engine held. False only
    //    when a provider-backed engine cannot get its provider or hash object
    //    (the reason is in the calling thread's error record).
    virtual bool Init() = 0;

    // 1. Feeds `size` bytes. Any split of the input gives the same digest.
    virtual void Update(const void* data, uint32_t size) = 0;

    // 2. Completes the digest into `digest` (QM_MAX_DIGEST_SIZE bytes of room)
    //    and returns the number of bytes written, 0 on failure. The engine
    //    needs Init before its next use.
    virtual uint32_t Final(uint8_t* digest) = 0;

    // 3. Digest of the first `maxBytes` bytes of a file, or of the whole file
    //    when `maxBytes` is QM_HASH_WHOLE_FILE or not smaller than the file.
    //    Reads in QM_HASH_FILE_BLOCK blocks; a file that shrinks while it is
    //    read ends the loop, and the digest covers the bytes that were read.
    virtual bool HashFile(std::u16string_view path, uint64_t maxBytes, uint8_t* digest);

    // 4. Digest of a text after converting it to the byte encoding `encoding`
    //    (QM_ENC_ANSI, QM_ENC_UTF8, QM_ENC_UTF16LE). `length` in characters;
    //    0 or -1 mean up to the NUL, which is not hashed.
    virtual bool HashText(const char16_t* text, std::ptrdiff_t length, int32_t encoding, uint8_t* digest);

    // 5. The hash text of `digest`, as FormatHashText writes it.
    virtual void GetHashText(const uint8_t* digest, std::u16string& text);

    // 6. Writes the hash text of `digest`: each of the GetHashSize() bytes as
    //    two upper-case hexadecimal digits, NUL-terminated. `bufferChars` must
    //    be more than twice the digest size (QM_MAX_HASH_TEXT_CHARS always
    //    is); otherwise it records "获取哈希值文本失败:缓冲区不足。", writes an
    //    empty text when there is room for the NUL, and returns false.
    virtual bool FormatHashText(const uint8_t* digest, char16_t* buffer, size_t bufferChars);

    // Destroying an engine through this interface runs the concrete engine's
    // clean-up (provider engines release their handles).
    virtual ~CQmHashObject() = default;

    // Number of bytes Final writes.
    uint32_t GetHashSize() const { return hashSize_; }

protected:
    CQmHashObject() = default;
    CQmHashObject(int32_t classId, const char16_t* name, uint32_t hashSize)
        : CQmObject(classId, name), hashSize_(hashSize) {}
    CQmHashObject(const CQmHashObject&) = default;
    CQmHashObject& operator=(const CQmHashObject&) = default;

private:
    uint32_t hashSize_ = 0;
};

}  // namespace qm
