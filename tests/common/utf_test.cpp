#include "common/utf.h"

#include <gtest/gtest.h>

#include <random>

namespace qm {
namespace {

TEST(Utf, StrictDecodingAcceptsWellFormedAndRejectsEveryIllFormedKind) {
    std::u16string out;
    ASSERT_TRUE(Utf8ToUtf16("\xE6\xA0\xA1\xE9\xAA\x8C a \xF0\x9F\x98\x80", out));
    EXPECT_EQ(out, u"校验 a 😀");
    for (const char* bad : {"\x80", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                            "\xF5\x80\x80\x80", "\xE6\xA0", "\xF0\x9F\x98", "\xFE", "a\xE6"}) {
        EXPECT_FALSE(Utf8ToUtf16(bad, out)) << bad;
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
    }
    EXPECT_TRUE(IsValidUtf8(std::string_view("a\0b", 3)));
}

TEST(Utf, LossyDecodingReplacesEachBrokenSequenceOnce) {
    EXPECT_EQ(Utf8ToUtf16Lossy("a\xE6\xA0" "b"), u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16Lossy("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(Utf16ToUtf8(u"x\xD800y"), "x\xEF\xBF\xBDy");
    EXPECT_EQ(Utf16ToUtf8(u"校验😀"), "\xE6\xA0\xA1\xE9\xAA\x8C\xF0\x9F\x98\x80");
    // Every length of form, and a lone surrogate at the very end.
    EXPECT_EQ(Utf16ToUtf8(u"a\u00E9\u07FF\u0800\uFFFF\U00010000\U0010FFFF\xDBFF"),
              "a\xC3\xA9\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(u""), "");

    // Runs of ASCII go across in blocks: texts of every length around a
    // block, with other forms and surrogate pairs at every place (a pair
    // across a block's edge included), read back as they were written.
    std::mt19937 rng(11);
    const std::u16string pieces[] = {u"a", u"\u00E9", u"\u6821", u"\U0001F600", u"\u007F"};
    for (int round = 0; round < 3000; ++round) {
        std::u16string text;
        const size_t length = rng() % 40;
        while (text.size() < length) text += pieces[rng() % 8 < 5 ? 0 : 1 + rng() % 4];
        std::u16string back;
        ASSERT_TRUE(Utf8ToUtf16(Utf16ToUtf8(text), back));
        ASSERT_EQ(back, text) << "round " << round;
        EXPECT_FALSE(HasUnpairedSurrogate(text)) << "round " << round;
    }
    std::u16string lone(17, u'x');
    lone[15] = 0xD83D;  // a high surrogate ending the first block, no low one after it
    EXPECT_EQ(Utf16ToUtf8(lone), std::string(15, 'x') + "\xEF\xBF\xBD" + "x");
    // A lone surrogate is found wherever it stands among ASCII.
    for (size_t at = 0; at < 40; ++at) {
        std::u16string text(40, u'x');
        text[at] = at % 2 ? 0xDC00 : 0xDBFF;
        EXPECT_TRUE(HasUnpairedSurrogate(text)) << at;
    }
}

TEST(Utf, OsPathsRoundTripAnyBytes) {
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        // Odd rounds mostly ASCII, so that runs long enough to go across in
        // blocks meet the other bytes at every place.
        std::string bytes(rng() % (round % 2 ? 48 : 24), '\0');
        for (char& c : bytes) c = static_cast<char>(round % 2 && rng() % 8 ? 'a' + rng() % 26 : rng());
        EXPECT_EQ(PathToOs(PathFromOs(bytes)), bytes);
        std::u16string strict;
        if (Utf8ToUtf16(bytes, strict)) {
            EXPECT_EQ(PathFromOs(bytes), strict);
        }
    }
    EXPECT_EQ(PathFromOs("a\xFF"), u"a\xDCFF");
}

}  // namespace
}  // namespace qm
