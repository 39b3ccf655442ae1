// The system's path rules as the lexical helpers, the relative paths of a
// list and the common root of a task apply them. The Windows cases run in the
// Windows build (under Wine in CI); the Linux ones pin down that '\' stays an
// ordinary character of a name there and case is never folded.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "common/os/path_rules.h"
#include "common/path_util.h"
#include "common/string_util.h"
#include "document/task_paths.h"

namespace qm {
namespace {

std::u16string RootOf(std::vector<QmChosenPath> chosen, bool* found = nullptr) {
    std::u16string root;
    const bool ok = ComputeCommonRoot(chosen, root);
    if (found) *found = ok;
    return root;
}

#if defined(_WIN32)

TEST(PathRulesTest, RootsOfDrivesSharesAndPrefixedPaths) {
    EXPECT_EQ(os::PathRootLength(u"C:\\x"), 3u);
    EXPECT_EQ(os::PathRootLength(u"c:/x"), 3u);
    EXPECT_EQ(os::PathRootLength(u"C:x"), 2u);
    EXPECT_EQ(os::PathRootLength(u"\\x"), 1u);
    EXPECT_EQ(os::PathRootLength(u"\\\\srv\\share\\x"), 12u);
    EXPECT_EQ(os::PathRootLength(u"\\\\srv\\share"), 11u);
    EXPECT_EQ(os::PathRootLength(u"\\\\?\\C:\\x"), 7u);
    EXPECT_EQ(os::PathRootLength(u"\\\\?\\UNC\\srv\\share\\x"), 18u);
    EXPECT_EQ(os::PathRootLength(u"\\\\.\\PhysicalDrive0"), 18u);
    EXPECT_EQ(os::PathRootLength(u"x\\y"), 0u);
    EXPECT_TRUE(os::PathIsAbsolute(u"C:\\x"));
    EXPECT_TRUE(os::PathIsAbsolute(u"\\\\srv\\share"));
    EXPECT_FALSE(os::PathIsAbsolute(u"C:x"));
    EXPECT_FALSE(os::PathIsAbsolute(u"\\x"));
}

TEST(PathRulesTest, NormalisingKeepsTheRootAndWritesBackslashes) {
    EXPECT_EQ(NormalizePath(u"C:/a/./b//c/"), u"C:\\a\\b\\c");
    EXPECT_EQ(NormalizePath(u"C:\\a\\..\\..\\b"), u"C:\\b");
    EXPECT_EQ(NormalizePath(u"C:\\"), u"C:\\");
    EXPECT_EQ(NormalizePath(u"\\\\srv\\share\\a\\..\\.."), u"\\\\srv\\share\\");
    EXPECT_EQ(NormalizePath(u"\\\\srv\\share"), u"\\\\srv\\share");
    EXPECT_EQ(NormalizePath(u"a\\..\\..\\b"), u"..\\b");
    EXPECT_EQ(PathCombine(u"C:\\data", u"sub/x.txt"), u"C:\\data\\sub\\x.txt");
    EXPECT_EQ(PathCombine(u"C:\\data", u"D:\\x"), u"D:\\x");
    EXPECT_EQ(PathCombine(u"C:\\data", u"\\x"), u"C:\\x");
    EXPECT_EQ(PathRemoveFileSpec(u"C:\\a"), u"C:\\");
    EXPECT_EQ(PathRemoveFileSpec(u"C:\\a\\b.txt"), u"C:\\a");
    EXPECT_EQ(PathRemoveFileSpec(u"\\\\srv\\share\\x"), u"\\\\srv\\share\\");
    EXPECT_EQ(PathFindFileName(u"C:\\a\\b.txt"), u"b.txt");
    EXPECT_EQ(PathFindFileName(u"C:/a/b/"), u"b");
    EXPECT_EQ(PathFindFileName(u"C:\\"), u"C:\\");
    EXPECT_EQ(PathFindExtension(u"C:\\a.d\\b"), u"");
}

TEST(PathRulesTest, RootsCompareIgnoringTheCaseOfLatinLetters) {
    EXPECT_TRUE(PathIsSameRoot(u"C:\\a", u"c:\\b"));
    EXPECT_FALSE(PathIsSameRoot(u"C:\\a", u"D:\\a"));
    EXPECT_TRUE(PathIsSameRoot(u"\\\\SRV\\Share\\a", u"\\\\srv\\share\\b"));
    EXPECT_FALSE(PathIsSameRoot(u"\\\\srv\\one\\a", u"\\\\srv\\two\\a"));
    EXPECT_TRUE(os::PathTextEqual(u"C:\\Data\\A.TXT", u"c:/data/a.txt"));
    // Only A-Z fold: other letters are different names.
    EXPECT_FALSE(os::PathTextEqual(u"\u00C4", u"\u00E4"));
    EXPECT_EQ(os::PathTextHash(u"C:\\Data"), os::PathTextHash(u"c:/data"));
}

TEST(PathRulesTest, RelativePathsOfAListIgnoreCaseAndKeepBoundaries) {
    EXPECT_EQ(GetRelativePath(u"C:\\Data\\a\\b.txt", u"c:\\data"), u"a\\b.txt");
    EXPECT_EQ(GetRelativePath(u"C:\\Data\\a\\b.txt", u"C:\\Data\\"), u"a\\b.txt");
    EXPECT_EQ(GetRelativePath(u"C:\\Data\\a\\b.txt", u"C:\\"), u"Data\\a\\b.txt");
    EXPECT_FALSE(GetRelativePath(u"C:\\Data\\a\\b.txt", u"D:\\Data").has_value());
    EXPECT_FALSE(GetRelativePath(u"C:\\Database\\x", u"C:\\Data").has_value());
    EXPECT_EQ(GetRelativePath(u"C:\\Data\\a\\b.txt", u""), u"C:\\Data\\a\\b.txt");
}

TEST(PathRulesTest, CommonRootAcrossCaseButNotAcrossDrives) {
    EXPECT_EQ(RootOf({{u"C:\\Data\\a", true}, {u"c:\\data\\b\\x.txt", false}}), u"C:\\Data");
    EXPECT_EQ(RootOf({{u"C:\\a", true}, {u"C:\\b", true}}), u"C:\\");
    bool found = true;
    RootOf({{u"C:\\a", true}, {u"D:\\a", true}}, &found);
    EXPECT_FALSE(found);
    RootOf({{u"\\\\srv\\one\\a", true}, {u"\\\\srv\\two\\a", true}}, &found);
    EXPECT_FALSE(found);
}

#else

TEST(PathRulesTest, BackslashIsPartOfANameAndCaseIsKept) {
    EXPECT_EQ(os::PathRootLength(u"/x"), 1u);
    EXPECT_EQ(os::PathRootLength(u"C:\\x"), 0u);
    EXPECT_FALSE(os::PathIsAbsolute(u"\\\\srv\\share"));
    EXPECT_EQ(NormalizePath(u"/a\\b/../c"), u"/c");
    EXPECT_EQ(PathFindFileName(u"/d/a\\b"), u"a\\b");
    EXPECT_FALSE(os::PathTextEqual(u"/Data", u"/data"));
    EXPECT_FALSE(GetRelativePath(u"/Data/x", u"/data").has_value());
    EXPECT_EQ(GetRelativePath(u"/data/x\\y", u"/data"), u"x\\y");
    EXPECT_EQ(RootOf({{u"/Data/a", true}, {u"/data/b", true}}), u"/");
}

#endif

}  // namespace
}  // namespace qm
