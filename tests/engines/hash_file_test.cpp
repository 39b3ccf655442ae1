// Hashing files and texts through the shared engine operations.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/error_record.h"
#include "common/os/error_codes.h"
#include "common/utf.h"
#include "engine_test_util.h"
#include "engines/crc32.h"
#include "engines/hash_115.h"
#include "engines/md5.h"
#include "engines/sha1.h"
#include "support/code_page.h"
#include "support/path_text.h"
#include "support/system_text.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

std::u16string U16(const std::filesystem::path& path) { return test::PathText(path); }

std::u16string SystemText(uint32_t code) { return test::SystemTextFor(code); }

std::string FileHex(CQmHashObject& engine, const std::filesystem::path& path, uint64_t maxBytes = QM_HASH_WHOLE_FILE) {
    uint8_t digest[QM_MAX_DIGEST_SIZE];
    if (!engine.HashFile(U16(path), maxBytes, digest)) return "<failed>";
    return test::Hex(digest, engine.GetHashSize());
}

TEST(HashFile, EmptyFileGivesTheEmptyInputDigest) {
    test::TempDir dir;
    const auto path = dir.Write("empty", "");
    CQmCRC32 crc;
    EXPECT_EQ(FileHex(crc, path), "00000000");
    std::u16string text;
    crc.GetHashText(nullptr, text);
    EXPECT_EQ(text, u"00000000");
    CQmMD5 md5;
    EXPECT_EQ(FileHex(md5, path), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(HashFile, MaxBytesLimitsTheInputOnlyWhenSmallerThanTheFile) {
    test::TempDir dir;
    const auto path = dir.Write("ten", "0123456789");
    CQmSHA1 sha1;
    EXPECT_EQ(FileHex(sha1, path, 1000), test::ReferenceHex("SHA1", "0123456789"));
    EXPECT_EQ(FileHex(sha1, path, 4), test::ReferenceHex("SHA1", "0123"));
    EXPECT_EQ(FileHex(sha1, path, 0), test::ReferenceHex("SHA1", ""));
}

TEST(HashFile, LargeFileMatchesTheInMemoryDigest) {
    test::TempDir dir;
    const std::string data = test::RandomBytes(3 * 131072 + 999, 21);
    const auto path = dir.Write("big.bin", data);
    CQm115SHA1 link;
    EXPECT_EQ(FileHex(link, path), test::DigestHex(link, data));
    CQmCRC32 crc;
    EXPECT_EQ(FileHex(crc, path, 131072 + 1), test::DigestHex(crc, data.substr(0, 131072 + 1)));
}

TEST(HashFile, MissingFileAndDirectoryFailToOpen) {
    test::TempDir dir;
    CQmSHA1 sha1;
    uint8_t digest[QM_MAX_DIGEST_SIZE];
    EXPECT_FALSE(sha1.HashFile(U16(dir / "missing"), QM_HASH_WHOLE_FILE, digest));
    EXPECT_EQ(GetLastErrorText(), u"计算文件校验时打开文件失败:" + SystemText(os::kErrorNotFound));
    EXPECT_FALSE(sha1.HashFile(U16(dir.path()), QM_HASH_WHOLE_FILE, digest));
    EXPECT_EQ(GetLastErrorText(), u"计算文件校验时打开文件失败:" + SystemText(os::kErrorIsDirectory));
}

// An engine that truncates the file it is hashing after the first block,
// as another program might while the file is read.
class TruncatingSha1 : public CQmSHA1 {
public:
    TruncatingSha1(std::filesystem::path path, uintmax_t keep) : path_(std::move(path)), keep_(keep) {}
    void Update(const void* data, uint32_t size) override {
        if (!truncated_) {
            truncated_ = true;
            std::filesystem::resize_file(path_, keep_);
        }
        CQmSHA1::Update(data, size);
    }

private:
    std::filesystem::path path_;
    uintmax_t keep_;
    bool truncated_ = false;
};

TEST(HashFile, FileThatShrinksWhileReadEndsWithWhatWasRead) {
    test::TempDir dir;
    const std::string data = test::RandomBytes(4 * 131072, 9);
    const auto path = dir.Write("shrinking", data);
    TruncatingSha1 engine(path, 131072 + 100);
    uint8_t digest[QM_MAX_DIGEST_SIZE];
    ASSERT_TRUE(engine.HashFile(U16(path), QM_HASH_WHOLE_FILE, digest));
    EXPECT_EQ(test::Hex(digest, 20), test::ReferenceHex("SHA1", data.substr(0, 131072 + 100)));
}

TEST(HashText, EncodingsAndLengths) {
    CQmSHA1 sha1;
    uint8_t digest[QM_MAX_DIGEST_SIZE];
    ASSERT_TRUE(sha1.HashText(u"校验abc", -1, 2, digest));
    EXPECT_EQ(test::Hex(digest, 20), test::ReferenceHex("SHA1", "\xE6\xA0\xA1\xE9\xAA\x8C" "abc"));
    ASSERT_TRUE(sha1.HashText(u"校验abc", 0, 3, digest));
    EXPECT_EQ(test::Hex(digest, 20), test::ReferenceHex("SHA1", std::string("\x21\x68\x8C\x9A" "a\0b\0c\0", 10)));
    // An explicit length takes that many characters; no NUL is hashed.
    ASSERT_TRUE(sha1.HashText(u"abcdef", 3, 2, digest));
    EXPECT_EQ(test::Hex(digest, 20), "a9993e364706816aba3e25717850c26c9cd0d89d");

    // ANSI is the code page in force; pinned to GBK here.
    bool ansiOk = false;
    {
        test::ScopedCodePage gbk("CP936");
        ansiOk = sha1.HashText(u"校验", -1, 1, digest);
    }
    ASSERT_TRUE(ansiOk);
    EXPECT_EQ(test::Hex(digest, 20), test::ReferenceHex("SHA1", "\xD0\xA3\xD1\xE9"));

    EXPECT_FALSE(sha1.HashText(u"abc", -1, 4, digest));
    EXPECT_EQ(GetLastErrorText(), u"转换字符串编码方式失败:不支持的编码方式.");
}

}  // namespace
}  // namespace qm
