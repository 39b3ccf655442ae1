// The copy commands' texts: line joining and the C array export.
#include "desktop/item_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qm {
namespace {

constexpr char16_t kMd5Empty[] = u"D41D8CD98F00B204E9800998ECF8427E";

TEST(JoinCopyLinesTest, CrLfBetweenPiecesAndNoneAtTheEnd) {
    EXPECT_EQ(JoinCopyLines({u"a.iso"}), u"a.iso");
    EXPECT_EQ(JoinCopyLines({u"a.iso", u"b.iso", u"c.iso"}), u"a.iso\r\nb.iso\r\nc.iso");
    EXPECT_EQ(JoinCopyLines({}), u"");
    // The whole trailing run goes, also breaks that end the last piece.
    EXPECT_EQ(JoinCopyLines({u"a", u"b\r\n\n\r"}), u"a\r\nb");
    // Breaks inside a piece stay.
    EXPECT_EQ(JoinCopyLines({u"a\nb", u"c"}), u"a\nb\r\nc");
}

TEST(JoinCopyLinesTest, EmptyPiecesKeepTheirLineUnlessSkipped) {
    // A hash cell that is still empty keeps its row's line ...
    EXPECT_EQ(JoinCopyLines({u"A", u"", u"C"}), u"A\r\n\r\nC");
    EXPECT_EQ(JoinCopyLines({u"A", u"", u""}), u"A");
    EXPECT_EQ(JoinCopyLines({u"", u"B"}), u"\r\nB");
    // ... while a row without a link adds nothing.
    EXPECT_EQ(JoinCopyLines({u"A", u"", u"C"}, QmEmptyPiece::Skip), u"A\r\nC");
    EXPECT_EQ(JoinCopyLines({u"", u"B"}, QmEmptyPiece::Skip), u"B");
    EXPECT_EQ(JoinCopyLines({u"", u""}, QmEmptyPiece::Skip), u"");
}

TEST(MakeHashCArraysTest, OneMd5RowHasNoLineBreak) {
    EXPECT_EQ(MakeHashCArrays(u"MD5", {kMd5Empty}),
              u"const unsigned char MD5_1[16] = {0xD4,0x1D,0x8C,0xD9,0x8F,0x00,0xB2,0x04,"
              u"0xE9,0x80,0x09,0x98,0xEC,0xF8,0x42,0x7E};");
}

TEST(MakeHashCArraysTest, ArraysAreSeparatedByAnEmptyLineAndNumberedPerExportedRow) {
    const std::u16string text = MakeHashCArrays(u"CRC32", {u"CBF43926", u"", u"0000000A"});
    EXPECT_EQ(text,
              u"const unsigned char CRC32_1[4] = {0xCB,0xF4,0x39,0x26};\r\n\r\n"
              u"const unsigned char CRC32_2[4] = {0x00,0x00,0x00,0x0A};");
}

TEST(MakeHashCArraysTest, The115HashGivesFortyBytesWithoutItsBar) {
    const std::u16string sha1a = u"DA39A3EE5E6B4B0D3255BFEF95601890AFD80709";
    const std::u16string sha1b = u"0123456789ABCDEF0123456789ABCDEF01234567";
    const std::u16string text = MakeHashCArrays(u"115网盘", {sha1a + u"|" + sha1b});
    const std::u16string prefix = u"const unsigned char 115网盘_1[40] = {";
    ASSERT_EQ(text.substr(0, prefix.size()), prefix);
    ASSERT_EQ(text.size(), prefix.size() + 40 * 5 - 1 + 2);
    EXPECT_EQ(text.substr(text.size() - 2), u"};");
    const std::u16string digits = sha1a + sha1b;
    for (size_t i = 0; i < 40; ++i) {
        EXPECT_EQ(text.substr(prefix.size() + 5 * i, 4), u"0x" + digits.substr(2 * i, 2)) << i;
    }
}

TEST(MakeHashCArraysTest, StatusAndErrorTextsMakeNoArray) {
    // Texts the hash column shows instead of a hash, and broken hex: none is
    // paired into bytes, none takes a number.
    const std::vector<std::u16string> texts = {
        u"正在计算", u"打开文件失败:没有那个文件或目录", u"ABC", u"AB CD", u"0xAB", u"|", u"ABCG", u"FF",
    };
    EXPECT_EQ(MakeHashCArrays(u"MD5", texts), u"const unsigned char MD5_1[1] = {0xFF};");
    EXPECT_EQ(MakeHashCArrays(u"MD5", {u"", u"失败", u"|"}), u"");
}

TEST(MakeHashCArraysTest, DigitsAreCopiedAsShown) {
    EXPECT_EQ(MakeHashCArrays(u"SHA1", {u"ab|Cd"}), u"const unsigned char SHA1_1[2] = {0xab,0xCd};");
}

TEST(MakeHashCArraysTest, ALongTextGivesItsWholeArray) {
    // Far longer than any cell the view shows: nothing is cut off.
    std::u16string digits;
    for (int i = 0; i < 3000; ++i) digits += u"0123456789ABCDEF"[i % 16];
    const std::u16string text = MakeHashCArrays(u"X", {digits, u"12"});
    const std::u16string first = u"const unsigned char X_1[1500] = {";
    ASSERT_EQ(text.substr(0, first.size()), first);
    const std::u16string second = u"};\r\n\r\nconst unsigned char X_2[1] = {0x12};";
    ASSERT_GE(text.size(), second.size());
    EXPECT_EQ(text.substr(text.size() - second.size()), second);
    EXPECT_EQ(text.size(), first.size() + 1500 * 5 - 1 + second.size());
    EXPECT_EQ(text.substr(first.size() + 5 * 1499, 4), u"0x67");
}

}  // namespace
}  // namespace qm
