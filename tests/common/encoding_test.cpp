#include "common/encoding.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/error_record.h"
#include "common/utf.h"
#include "support/code_page.h"

namespace qm {
namespace {

constexpr char16_t kUnsupported[] = u"转换字符串编码方式失败:不支持的编码方式.";

using test::ScopedCodePage;

std::u16string Decode(std::string_view bytes, int32_t encoding) {
    std::u16string text = u"untouched";
    EXPECT_TRUE(DecodeText(bytes.data(), bytes.size(), encoding, text)) << encoding;
    return text;
}

std::string Encode(std::u16string_view text, int32_t encoding, bool withNul = false) {
    std::string bytes;
    EXPECT_TRUE(EncodeText(text, withNul, encoding, bytes)) << encoding;
    return bytes;
}

TEST(DetectBom, MarksInIdOrder) {
    EXPECT_EQ(DetectBom("\xEF\xBB\xBF", 3), QM_ENC_UTF8);
    EXPECT_EQ(DetectBom("\xEF\xBB", 2), QM_ENC_NONE);  // too short for the mark
    EXPECT_EQ(DetectBom("\xFF\xFE", 2), QM_ENC_UTF16LE);
    EXPECT_EQ(DetectBom("\xFE\xFF", 2), QM_ENC_UTF16BE);
    EXPECT_EQ(DetectBom("\xFF\xFE\x00\x00", 4), QM_ENC_UTF16LE);  // the shorter mark is tested first
    EXPECT_EQ(DetectBom("\x00\x00\xFE\xFF", 4), QM_ENC_UTF32BE);
    EXPECT_EQ(DetectBom("abc", 3), QM_ENC_NONE);
    EXPECT_EQ(DetectBom("", 0), QM_ENC_NONE);
    EXPECT_EQ(DetectBom(nullptr, 4), QM_ENC_NONE);
}

TEST(EncodeText, TerminatorAndLengthRules) {
    std::string bytes;
    ASSERT_TRUE(EncodeText(u"ab", 0, true, QM_ENC_UTF16LE, bytes));
    EXPECT_EQ(bytes, std::string("a\0b\0\0\0", 6));
    ASSERT_TRUE(EncodeText(u"ab\0cd", -1, false, QM_ENC_UTF16LE, bytes));  // up to the NUL
    EXPECT_EQ(bytes, std::string("a\0b\0", 4));
    ASSERT_TRUE(EncodeText(u"abcd", 3, true, QM_ENC_UTF8, bytes));
    EXPECT_EQ(bytes, std::string("abc\0", 4));
    ASSERT_TRUE(EncodeText(nullptr, 5, false, QM_ENC_UTF8, bytes));
    EXPECT_EQ(bytes, "");
    EXPECT_EQ(Encode(u"中\U0001F600", QM_ENC_UTF16LE), std::string_view("\x2D\x4E\x3D\xD8\x00\xDE", 6));
    EXPECT_EQ(Encode(u"校验", QM_ENC_UTF8), "\xE6\xA0\xA1\xE9\xAA\x8C");
    EXPECT_EQ(Encode(std::u16string(1, u'\xD800') + u"x", QM_ENC_UTF8), "\xEF\xBF\xBDx");
}

TEST(EncodeText, OnlyAnsiUtf8AndUtf16LeAreConverted) {
    for (const int32_t id : {0, 4, 5, 6, 7, 256, -1}) {
        std::string bytes = "keep";
        SetErrorText(0, u"");
        EXPECT_FALSE(EncodeText(u"ab", false, id, bytes)) << id;
        EXPECT_EQ(GetLastErrorText(), kUnsupported);
        EXPECT_EQ(bytes, "keep");
    }
}

TEST(DecodeText, MarksAndOddLengths) {
    EXPECT_EQ(Decode("\xEF\xBB\xBF" "ab", QM_ENC_UTF8), u"ab");
    EXPECT_EQ(Decode("\xEF\xBB\xBF", QM_ENC_UTF8), u"");
    EXPECT_EQ(Decode(std::string_view("\xFF\xFE" "a\0", 4), QM_ENC_UTF16LE), u"\uFEFFa");
    EXPECT_EQ(Decode(std::string_view("a\0b", 3), QM_ENC_UTF16LE), u"a");  // odd last byte ignored
    EXPECT_EQ(Decode(std::string_view("a\0b", 3), QM_ENC_UTF8), std::u16string(u"a\0b", 3));
    EXPECT_EQ(Decode("\xE6\xA0\xA1\xC0\xAF", QM_ENC_UTF8), u"校\uFFFD\uFFFD");  // ill-formed: replaced

    EXPECT_EQ(Decode("\xE6\xA0\xA1", QM_ENC_AUTO), u"校");  // no mark: UTF-8
    EXPECT_EQ(Decode(std::string_view("\xFF\xFE" "a\0", 4), QM_ENC_AUTO), u"\uFEFFa");
    for (const std::string_view bytes : {std::string_view("\xFE\xFF\x00" "a", 4), std::string_view("\xFF\xFE\x00\x00", 4),
                                         std::string_view("\x00\x00\xFE\xFF", 4)}) {
        std::u16string text = u"keep";
        const int32_t id = bytes == std::string_view("\xFF\xFE\x00\x00", 4) ? QM_ENC_UTF32LE : QM_ENC_AUTO;
        EXPECT_FALSE(DecodeText(bytes.data(), bytes.size(), id, text));
        EXPECT_EQ(GetLastErrorText(), kUnsupported);
        EXPECT_EQ(text, u"keep");
    }
}

#if defined(_WIN32)
TEST(AnsiCodePage, TheThreadsCodePageIsUsed) {
    {
        ScopedCodePage western("1252");
        EXPECT_EQ(GetAnsiCodePage(), "CP1252");
        EXPECT_EQ(Encode(u"é校", QM_ENC_ANSI), "\xE9?");  // a character the code page lacks is '?'
        EXPECT_EQ(Decode("\xE9", QM_ENC_ANSI), u"é");
    }
    ScopedCodePage gbk("CP936");
    EXPECT_EQ(GetAnsiCodePage(), "CP936");
    EXPECT_EQ(Encode(u"校验", QM_ENC_ANSI), "\xD0\xA3\xD1\xE9");
}
#else
TEST(AnsiCodePage, UnicodeLocalesUseGbkAndTheOverrideWins) {
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    ScopedCodePage none(nullptr);
    std::setlocale(LC_CTYPE, "C");
    EXPECT_EQ(GetAnsiCodePage(), "CP936");
    if (std::setlocale(LC_CTYPE, "C.UTF-8")) {
        EXPECT_EQ(GetAnsiCodePage(), "CP936");
    }
    std::setlocale(LC_CTYPE, saved.c_str());
    {
        ScopedCodePage number("1252");
        EXPECT_EQ(GetAnsiCodePage(), "CP1252");
        EXPECT_EQ(Encode(u"é校", QM_ENC_ANSI), "\xE9?");  // a character the code page lacks is '?'
        EXPECT_EQ(Decode("\xE9", QM_ENC_ANSI), u"é");
    }
    {
        // A name iconv does not know falls back to the locale's rule.
        ScopedCodePage bogus("no-such-code-page");
        std::setlocale(LC_CTYPE, "C");
        EXPECT_EQ(Encode(u"校验", QM_ENC_ANSI), "\xD0\xA3\xD1\xE9");
        std::setlocale(LC_CTYPE, saved.c_str());
    }
}
#endif

TEST(AnsiCodePage, GbkConversionBothWays) {
    ScopedCodePage gbk("CP936");
    EXPECT_EQ(Encode(u"校验 a", QM_ENC_ANSI, true), std::string("\xD0\xA3\xD1\xE9 a\0", 7));
    EXPECT_EQ(Encode(std::u16string(u"a") + u'\xDC00' + u"b", QM_ENC_ANSI), "a?b");
    EXPECT_EQ(Encode(u"", QM_ENC_ANSI), "");

    EXPECT_EQ(Decode("\xD0\xA3\xD1\xE9", QM_ENC_ANSI), u"校验");
    EXPECT_EQ(Decode(std::string_view("\xD0\xA3\0\xD1\xE9", 5), QM_ENC_ANSI), u"校");  // stops at a zero byte

    // What stands for a character the code page lacks, or for bytes that are
    // none of its characters, is the converter's choice: one replacement
    // each, and the text around it intact.
#if defined(_WIN32)
    EXPECT_EQ(Encode(u"x\U0001F600y", QM_ENC_ANSI), "x??y");  // one default character per code unit
    const std::u16string cut = Decode("a\xD0", QM_ENC_ANSI);
    EXPECT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut.front(), u'a');
    const std::u16string stray = Decode("\xFF" "a\xD0\xA3", QM_ENC_ANSI);
    EXPECT_EQ(stray.size(), 3u);
    EXPECT_EQ(stray.substr(1), u"a校");
#else
    EXPECT_EQ(Encode(u"x\U0001F600y", QM_ENC_ANSI), "x?y");  // one '?' for the pair
    EXPECT_EQ(Encode(std::u16string(u"a") + u'\xD800', QM_ENC_ANSI), "a?");
    EXPECT_EQ(Decode("a\xD0", QM_ENC_ANSI), u"a\uFFFD");         // ends inside a character
    EXPECT_EQ(Decode("\xFF" "a\xD0\xA3", QM_ENC_ANSI), u"\uFFFDa校");  // a byte that starts none
#endif
}

// Arbitrary bytes, cut anywhere, in every encoding: never a crash or an
// out-of-bounds read (the sanitizer builds run this too), and the
// conversions that must round-trip do.
TEST(Encoding, RandomInputIsHandledSafely) {
    ScopedCodePage gbk("CP936");
    std::mt19937 rng(20240611);
    const std::vector<std::string> seeds = {
        "\xE6\xA0\xA1\xE9\xAA\x8C", "\xF0\x9F\x98\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
        "\xEF\xBB\xBF",             "\xFF\xFE",         "\x00\xD8", "\xD0\xA3\xD1",  "\x81\x30\x81\x30"};
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        const size_t len = rng() % 40;
        while (bytes.size() < len) {
            if (rng() % 3 == 0) bytes += seeds[rng() % seeds.size()];
            else bytes += static_cast<char>(rng());
        }
        bytes.resize(len);
        // An exact-size heap copy so that a read past the end is caught.
        const std::vector<char> exact(bytes.begin(), bytes.end());
        for (const int32_t id : {0, 1, 2, 3, 4, 5, 6, 256}) {
            std::u16string text;
            const bool ok = DecodeText(exact.data(), exact.size(), id, text);
            if (id == QM_ENC_UTF16LE) {
                ASSERT_TRUE(ok);
                std::string back;
                ASSERT_TRUE(EncodeText(text, false, QM_ENC_UTF16LE, back));
                EXPECT_EQ(back, bytes.substr(0, len & ~size_t{1}));
                // Lone surrogates from random UTF-16 go through the other encoders too.
                std::string other;
                EXPECT_TRUE(EncodeText(text, true, QM_ENC_UTF8, other));
                EXPECT_TRUE(EncodeText(text, true, QM_ENC_ANSI, other));
            }
            if (id == QM_ENC_UTF8) {
                ASSERT_TRUE(ok);
                std::u16string strict;
                const std::string_view body = std::string_view(bytes).substr(bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0);
                if (Utf8ToUtf16(body, strict)) {
                    EXPECT_EQ(text, strict);
                }
            }
        }
    }
}

TEST(Encoding, TextRoundTripsThroughEachWritableEncoding) {
    ScopedCodePage gbk("CP936");
    std::mt19937 rng(7);
    for (int round = 0; round < 500; ++round) {
        std::u16string text;
        const size_t len = rng() % 30;
        for (size_t i = 0; i < len; ++i) {
            // ASCII without NUL, and the CJK block that GBK covers entirely.
            text += rng() % 2 ? static_cast<char16_t>(1 + rng() % 0x7F) : static_cast<char16_t>(0x4E00 + rng() % 0x51A6);
        }
        for (const int32_t id : {QM_ENC_ANSI, QM_ENC_UTF8, QM_ENC_UTF16LE}) {
            const std::string bytes = Encode(text, id);
            EXPECT_EQ(Decode(bytes, id), text) << id;
        }
    }
}

TEST(Encoding, EachThreadConvertsIndependently) {
    ScopedCodePage gbk("CP936");
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            std::optional<ScopedCodePage> own;
            if (test::kCodePageIsPerThread) own.emplace("CP936");
            for (int i = 0; i < 300; ++i) {
                std::u16string text;
                std::string bytes;
                if (!DecodeText("\xD0\xA3\xD1\xE9", 4, QM_ENC_ANSI, text) || text != u"校验") ++failures[t];
                if (!EncodeText(u"校验", false, QM_ENC_ANSI, bytes) || bytes != "\xD0\xA3\xD1\xE9") ++failures[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace qm
