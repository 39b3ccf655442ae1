#include "document/text_file.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <cerrno>
#endif
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/error_record.h"
#include "common/os/error_codes.h"
#include "common/utf.h"
#include "support/code_page.h"
#include "support/path_text.h"
#include "support/system_text.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::u16string>;

std::u16string U(const fs::path& path) { return test::PathText(path); }

std::u16string SystemText(uint32_t code) { return test::SystemTextFor(code); }

// Every test reads ANSI as GBK, whatever the machine's locale.
class TextFileTest : public ::testing::Test {
protected:

    std::u16string Read(std::string_view bytes, int32_t encoding = QM_ENC_AUTO, bool strict = false) {
        std::u16string text = u"untouched";
        EXPECT_TRUE(ReadTextFile(U(dir_.Write("in.txt", bytes)), encoding, strict, text)) << GetLastErrorText().size();
        return text;
    }
    Lines ReadLines(std::string_view bytes) {
        Lines lines{u"untouched"};
        EXPECT_TRUE(ReadTextLines(U(dir_.Write("lines.txt", bytes)), QM_ENC_AUTO, false, lines));
        return lines;
    }
    std::u16string AsAnsi(std::string_view bytes) {
        std::u16string text;
        EXPECT_TRUE(DecodeText(bytes.data(), bytes.size(), QM_ENC_ANSI, text));
        return text;
    }

    test::ScopedCodePage gbk_{"CP936"};
    test::TempDir dir_;
};

TEST_F(TextFileTest, MarksDecideAndAreDropped) {
    EXPECT_EQ(Read("\xEF\xBB\xBF\xE6\xA0\xA1\xE9\xAA\x8C"), u"校验");
    EXPECT_EQ(Read(std::string_view("\xFF\xFE\x21\x68\x8C\x9A", 6)), u"校验");
    EXPECT_EQ(Read(std::string_view("\xFF\xFE\x00\x00" "a\0", 6)), std::u16string(u"\0a", 2));

    std::u16string text = u"untouched";
    EXPECT_FALSE(ReadTextFile(U(dir_.Write("be.txt", std::string_view("\xFE\xFF\x68\x21", 4))), QM_ENC_AUTO, false, text));
    EXPECT_EQ(GetLastErrorText(), u"转换字符串编码方式失败:不支持的编码方式.");
    EXPECT_EQ(text, u"untouched");
}

TEST_F(TextFileTest, WithoutMarkWellFormedUtf8WinsElseAnsi) {
    EXPECT_EQ(Read("\xE6\xA0\xA1\xE9\xAA\x8C"), u"校验");  // UTF-8
    EXPECT_EQ(Read("\xD0\xA3\xD1\xE9"), u"校验");          // GBK
    EXPECT_EQ(Read(""), u"");
    // Ends inside a multi-byte sequence: the whole file is ANSI.
    const std::string cut = "ab\xE6\xA0\xA1\xE9\xAA";
    EXPECT_EQ(Read(cut), AsAnsi(cut));
    EXPECT_NE(Read(cut).substr(0, 3), u"ab校");
}

// One well-formed sample and its nearest ill-formed neighbours for each row
// of the validity table.
TEST_F(TextFileTest, ValidityTableBoundaries) {
    const char* wellFormed[] = {"\x7F",         "\xC2\x80",         "\xDF\xBF",         "\xE0\xA0\x80",
                                "\xE1\x80\x80", "\xEC\xBF\xBF",     "\xED\x9F\xBF",     "\xEE\x80\x80",
                                "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF3\xBF\xBF\xBF", "\xF4\x8F\xBF\xBF"};
    for (const char* s : wellFormed) {
        std::u16string expected;
        ASSERT_TRUE(Utf8ToUtf16(s, expected));
        EXPECT_EQ(Read(std::string("x") + s), u"x" + expected) << s;
    }
    const char* illFormed[] = {"\x80",         "\xC1\xBF",         "\xC2\x7F",         "\xC2\xC0",
                               "\xE0\x9F\xBF", "\xED\xA0\x80",     "\xE1\x80\x7F",     "\xF0\x8F\xBF\xBF",
                               "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xF8\x88\x80\x80\x80", "\xC2"};
    for (const char* s : illFormed) {
        const std::string bytes = std::string("x") + s;
        EXPECT_EQ(Read(bytes), AsAnsi(bytes)) << s;
    }
}

TEST_F(TextFileTest, ExplicitAndStrictEncodings) {
    EXPECT_EQ(Read("\xD0\xA3", QM_ENC_ANSI), u"校");
    // Not strict: the named decoding is used, and the detected mark still skipped.
    EXPECT_EQ(Read("\xEF\xBB\xBF" "ab", QM_ENC_ANSI), u"ab");
    EXPECT_EQ(Read("\xEF\xBB\xBF" "ab", QM_ENC_UTF8, true), u"ab");

    std::u16string text = u"untouched";
    const auto plain = dir_.Write("plain.txt", "ab");
    EXPECT_FALSE(ReadTextFile(U(plain), QM_ENC_UTF8, true, text));
    EXPECT_EQ(GetLastErrorText(), u"读取文件失败:文件编码信息不匹配。");
    EXPECT_FALSE(ReadTextFile(U(plain), QM_ENC_ANSI, true, text));
    EXPECT_EQ(text, u"untouched");
}

TEST_F(TextFileTest, LinesAndTheirCarriageReturns) {
    EXPECT_EQ(ReadLines("a\r\nb\r\n"), (Lines{u"a", u"b"}));
    EXPECT_EQ(ReadLines("a\n\n"), (Lines{u"a", u""}));
    EXPECT_EQ(ReadLines("a\r\r\nb"), (Lines{u"a", u"b"}));
    EXPECT_EQ(ReadLines("a\rb\n"), (Lines{u"a\rb"}));
    EXPECT_EQ(ReadLines(""), Lines{});
    EXPECT_EQ(ReadLines("\xEF\xBB\xBF; Hash: SHA1\r\n"), (Lines{u"; Hash: SHA1"}));

    Lines lines{u"untouched"};
    EXPECT_FALSE(ReadTextLines(U(dir_ / "missing"), QM_ENC_AUTO, false, lines));
    EXPECT_EQ(GetLastErrorText(), FormatText(u"打开文件 %s 失败", U(dir_ / "missing")) + u":" + SystemText(os::kErrorNotFound));
    EXPECT_EQ(lines, Lines{u"untouched"});
}

TEST(SplitText, FieldsAndTheirEmptyForms) {
    Lines fields{u"old"};
    EXPECT_EQ(SplitText(u"", fields, u'|'), 0u);
    EXPECT_TRUE(fields.empty());
    EXPECT_EQ(SplitText(u"a|b", fields, u'|'), 2u);
    EXPECT_EQ(SplitText(u"a||b", fields, u'|'), 3u);
    EXPECT_EQ(fields, (Lines{u"a", u"", u"b"}));
    EXPECT_EQ(SplitText(u"|a|", fields, u'|'), 2u);
    EXPECT_EQ(fields, (Lines{u"", u"a"}));
    EXPECT_EQ(SplitText(u"||", fields, u'|'), 2u);
    EXPECT_EQ(fields, (Lines{u"", u""}));
}

TEST(TrimLines, BlanksAtBothEndsOnly) {
    Lines lines{u" \t a b \r\n", u"\r\n\t ", u"", u"x", u"中 文\t"};
    TrimLines(lines);
    EXPECT_EQ(lines, (Lines{u"a b", u"", u"", u"x", u"中 文"}));
}

TEST_F(TextFileTest, HundredMebibytesIsTheLimit) {
    const fs::path file = dir_ / "big.txt";
    std::ofstream(file, std::ios::binary).flush();
    fs::resize_file(file, kMaxTextFileSize + 1);  // sparse where the file system can: instant
    std::u16string text = u"untouched";
    EXPECT_FALSE(ReadTextFile(U(file), QM_ENC_AUTO, false, text));
    EXPECT_EQ(GetLastErrorText(), FormatText(u"文件 %s 超过最大限制", U(file)));
    EXPECT_EQ(text, u"untouched");

    fs::resize_file(file, kMaxTextFileSize);
    ASSERT_TRUE(ReadTextFile(U(file), QM_ENC_AUTO, false, text));
    EXPECT_EQ(text.size(), kMaxTextFileSize);
}

TEST_F(TextFileTest, WriteWithAndWithoutMarks) {
    const fs::path file = dir_ / "out.txt";
    ASSERT_TRUE(WriteTextFile(U(file), QM_ENC_UTF8, true, u"; Hash: SHA1\r\n校验"));
    EXPECT_EQ(test::ReadBytes(file), "\xEF\xBB\xBF; Hash: SHA1\r\n\xE6\xA0\xA1\xE9\xAA\x8C");
    ASSERT_TRUE(WriteTextFile(U(file), QM_ENC_UTF16LE, true, u"校", -1));
    EXPECT_EQ(test::ReadBytes(file), "\xFF\xFE\x21\x68");
    ASSERT_TRUE(WriteTextFile(U(file), QM_ENC_ANSI, true, u"校验"));  // ANSI has no mark
    EXPECT_EQ(test::ReadBytes(file), "\xD0\xA3\xD1\xE9");
    ASSERT_TRUE(WriteTextFile(U(file), QM_ENC_UTF8, false, u"abc", 2));
    EXPECT_EQ(test::ReadBytes(file), "ab");

    for (const int32_t id : {QM_ENC_ANSI, QM_ENC_UTF8, QM_ENC_UTF16LE}) {
        for (const bool bom : {false, true}) {
            ASSERT_TRUE(WriteTextFile(U(file), id, bom, u"行一\r\n行二\r\n"));
            // Without a mark UTF-16 cannot be told from bytes; it is named.
            const int32_t readAs = (id == QM_ENC_UTF16LE && !bom) ? QM_ENC_UTF16LE : QM_ENC_AUTO;
            Lines lines;
            ASSERT_TRUE(ReadTextLines(U(file), readAs, false, lines));
            EXPECT_EQ(lines, (Lines{u"行一", u"行二"})) << id << bom;
        }
    }
}

TEST_F(TextFileTest, WriteFailures) {
    const fs::path file = dir_.Write("keep.txt", "old");
    EXPECT_FALSE(WriteTextFile(U(file), QM_ENC_UTF16BE, true, u"x"));
    EXPECT_EQ(GetLastErrorText(), u"转换字符串编码方式失败:不支持的编码方式.");
    EXPECT_EQ(test::ReadBytes(file), "old");

#if defined(_WIN32)
    // No full device there to write to. The drive's colon is in every path,
    // and must not be taken for the end of the context.
    const std::u16string missing = U(dir_ / "no-such" / "x.txt");
    const uint32_t missingFolder = 3;  // ERROR_PATH_NOT_FOUND: a folder on the way
#else
    EXPECT_FALSE(WriteTextFile(u"/dev/full", QM_ENC_UTF8, true, u"text"));
    EXPECT_EQ(GetLastErrorText(), u"写入文件[/dev/full]失败:" + SystemText(ENOSPC));

    // A colon in the path must not be taken for the end of the context.
    const std::u16string missing = U(dir_ / "no:such" / "x.txt");
    const uint32_t missingFolder = os::kErrorNotFound;
#endif
    EXPECT_FALSE(WriteTextFile(missing, QM_ENC_UTF8, true, u"text"));
    EXPECT_EQ(GetLastErrorText(), u"写入文件[" + missing + u"]失败:" + SystemText(missingFolder));
}

}  // namespace
}  // namespace qm
