#include "common/string_util.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace qm {
namespace {

TEST(GetRelativePath, MatchesOnlyAtComponentBoundaries) {
    EXPECT_EQ(GetRelativePath(u"/data/a/b.txt", u"/data"), u"a/b.txt");
    EXPECT_EQ(GetRelativePath(u"/data/a/b.txt", u"/data/"), u"a/b.txt");
    EXPECT_EQ(GetRelativePath(u"/data/a/b.txt", u"/data//"), u"a/b.txt");
    EXPECT_EQ(GetRelativePath(u"/data", u"/data"), u"");
    EXPECT_EQ(GetRelativePath(u"/data/", u"/data"), u"");
    EXPECT_EQ(GetRelativePath(u"/data//x", u"/data"), u"x");  // never an absolute remainder
    EXPECT_FALSE(GetRelativePath(u"/database/x", u"/data"));
    EXPECT_FALSE(GetRelativePath(u"/dat", u"/data"));
    EXPECT_FALSE(GetRelativePath(u"/other/a", u"/data"));
#if defined(_WIN32)
    EXPECT_EQ(GetRelativePath(u"/Data/a", u"/data"), u"a");  // Windows names ignore case
#else
    EXPECT_FALSE(GetRelativePath(u"/Data/a", u"/data"));  // Linux names are case-sensitive
#endif
    EXPECT_EQ(GetRelativePath(u"/数据/校验.txt", u"/数据"), u"校验.txt");
}

TEST(GetRelativePath, EmptyRootAndFileSystemRoot) {
    EXPECT_EQ(GetRelativePath(u"/data/a", u""), u"/data/a");
    EXPECT_EQ(GetRelativePath(u"rel/a", u""), u"rel/a");
    EXPECT_EQ(GetRelativePath(u"/data/a", u"/"), u"data/a");
    EXPECT_EQ(GetRelativePath(u"/", u"/"), u"");
    EXPECT_FALSE(GetRelativePath(u"rel/a", u"/"));
}

TEST(GetRelativePath, ResultPointsIntoThePath) {
    const std::u16string path = u"/r/sub/f";
    const auto rel = GetRelativePath(path, u"/r");
    ASSERT_TRUE(rel);
    EXPECT_EQ(rel->data(), path.data() + 3);
}

TEST(FormatThousands, GroupsOfThreeFromTheRight) {
    EXPECT_EQ(FormatThousands(0), u"0");
    EXPECT_EQ(FormatThousands(999), u"999");
    EXPECT_EQ(FormatThousands(1000), u"1,000");
    EXPECT_EQ(FormatThousands(100000), u"100,000");
    EXPECT_EQ(FormatThousands(1234567), u"1,234,567");
    EXPECT_EQ(FormatThousands(UINT64_MAX), u"18,446,744,073,709,551,615");
    EXPECT_EQ(FormatThousands(UINT64_MAX).size(), 26u);
}

TEST(ReplaceChar, ReplacesEveryOccurrenceIncludingByNul) {
    std::u16string filter = u"文本文件(*.txt)\t*.txt\t所有文件(*.*)\t*.*\t";
    ReplaceChar(filter, u'\t', u'\0');
    using namespace std::string_literals;
    EXPECT_EQ(filter, u"文本文件(*.txt)\0*.txt\0所有文件(*.*)\0*.*\0"s);
    ReplaceChar(filter, u'x', u'y');
    EXPECT_EQ(filter.find(u'x'), std::u16string::npos);
}

}  // namespace
}  // namespace qm
