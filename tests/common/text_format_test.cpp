#include "common/text_format.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace qm {
namespace {

TEST(TextFormat, ConversionsFlagsAndWidths) {
    EXPECT_EQ(FormatText(u"%s%u-%02u-%02u %02u:%02u:%02u%s", u"", 2022u, 1u, 5u, 9u, 3u, 7u, u""),
              u"2022-01-05 09:03:07");
    EXPECT_EQ(FormatText(u"0x%08X。", 0xABCu), u"0x00000ABC。");
    EXPECT_EQ(FormatText(u"%08x|%X", 0xDEADBEEFu, 255), u"deadbeef|FF");
    EXPECT_EQ(FormatText(u"%I64u|%llu|%lu", UINT64_MAX, uint64_t{1}, 2ul), u"18446744073709551615|1|2");
    EXPECT_EQ(FormatText(u"%d|%i|%+d|%5d|%-5d|", -42, 7, 3, -1, 12), u"-42|7|+3|   -1|12   |");
    EXPECT_EQ(FormatText(u"%d", INT64_MIN), u"-9223372036854775808");
    EXPECT_EQ(FormatText(u"%u", -1), u"4294967295");
    EXPECT_EQ(FormatText(u"[%5s][%-5s][%.2s]", u"ab", u"ab", u"abcdef"), u"[   ab][ab   ][ab]");
    EXPECT_EQ(FormatText(u"%c%c", u'中', u'文'), u"中文");
    EXPECT_EQ(FormatText(u"100%% %.3u", 7u), u"100% 007");
}

TEST(TextFormat, MalformedFormatsAndMissingArgumentsAreSafe) {
    EXPECT_EQ(FormatText(u"%s and %s", u"one"), u"one and ");
    EXPECT_EQ(FormatText(u"%d", u"text"), u"");
    EXPECT_EQ(FormatText(u"%s", 12), u"12");
    EXPECT_EQ(FormatText(u"end %"), u"end %");
    EXPECT_EQ(FormatText(u"bad %q here"), u"bad %q here");
    EXPECT_EQ(FormatText(u"cut %08"), u"cut %08");
    EXPECT_EQ(FormatText(u"%s", static_cast<const char16_t*>(nullptr)), u"");
    EXPECT_EQ(FormatText(u"%999999999d", 1).size(), 4096u);  // width is bounded
}

}  // namespace
}  // namespace qm
