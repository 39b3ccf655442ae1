#include "common/path_util.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/os/path_rules.h"
#include "common/utf.h"
#include "support/path_text.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

// A path text written with '/' in the system's own spelling, so the same
// cases hold where '\\' is the separator.
std::u16string S(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) {
        if (c == u'/') c = os::kPathSeparator;
    }
    return out;
}

TEST(PathUtil, NormalizeResolvesDotsAndSeparatorRuns) {
    const struct {
        std::u16string in;
        std::u16string out;
    } cases[] = {
        {u"", u""},
        {S(u"/"), S(u"/")},
#if !defined(_WIN32)
        {S(u"//"), S(u"/")},  // on Windows the start of a share's name
#endif
        {S(u"/a//b/./c/"), S(u"/a/b/c")},
        {S(u"/a/b/../c"), S(u"/a/c")},
        {S(u"/a/../../.."), S(u"/")},
        {S(u"/.."), S(u"/")},
        {S(u"a/.."), u"."},
        {u".", u"."},
        {S(u"./a"), u"a"},
        {S(u"../a/../../b"), S(u"../../b")},
        {S(u"a/../../b"), S(u"../b")},
        {S(u"/a/b/..x/.y"), S(u"/a/b/..x/.y")},
    };
    for (const auto& c : cases) EXPECT_EQ(NormalizePath(c.in), c.out) << Utf16ToUtf8(c.in);
}

TEST(PathUtil, CombineAndAppend) {
    EXPECT_EQ(PathCombine(S(u"/root/dir"), S(u"sub/f.txt")), S(u"/root/dir/sub/f.txt"));
    EXPECT_EQ(PathCombine(S(u"/root/dir/"), S(u"./f.txt")), S(u"/root/dir/f.txt"));
    EXPECT_EQ(PathCombine(S(u"/root/dir"), S(u"../f.txt")), S(u"/root/f.txt"));
    EXPECT_EQ(PathCombine(S(u"/root/dir"), S(u"/abs/f.txt")), S(u"/abs/f.txt"));  // absolute stands for itself
    EXPECT_EQ(PathCombine(u"", u"f.txt"), u"f.txt");
    EXPECT_EQ(PathCombine(S(u"/root"), u""), S(u"/root"));
    EXPECT_EQ(PathCombine(u"", u""), u"");

    std::u16string path = S(u"/root");
    PathAppend(path, u"a");
    PathAppend(path, S(u"/b"));  // stays below, unlike PathCombine
    PathAppend(path, u"名字.txt");
    EXPECT_EQ(path, S(u"/root/a/b/名字.txt"));
    PathAppend(path, u"");
    EXPECT_EQ(path, S(u"/root/a/b/名字.txt"));
}

TEST(PathUtil, ComponentsOfAPath) {
    EXPECT_EQ(PathRemoveFileSpec(S(u"/a/b.txt")), S(u"/a"));
    EXPECT_EQ(PathRemoveFileSpec(S(u"/a")), S(u"/"));
    EXPECT_EQ(PathRemoveFileSpec(S(u"/")), S(u"/"));
    EXPECT_EQ(PathRemoveFileSpec(u"b.txt"), u"");
    EXPECT_EQ(PathRemoveFileSpec(S(u"a/b/")), S(u"a/b"));
    EXPECT_EQ(PathRemoveFileSpec(S(u"/a//b")), S(u"/a"));

    EXPECT_EQ(PathFindFileName(S(u"/a/b.txt")), u"b.txt");
    EXPECT_EQ(PathFindFileName(S(u"/a/b/")), u"b");
    EXPECT_EQ(PathFindFileName(u"b"), u"b");
    EXPECT_EQ(PathFindFileName(S(u"/")), S(u"/"));
    EXPECT_EQ(PathFindFileName(u""), u"");

    EXPECT_EQ(PathFindExtension(S(u"/a/b.tar.gz")), u".gz");
    EXPECT_EQ(PathFindExtension(S(u"/a.d/b")), u"");  // a dot in a directory is no extension
    EXPECT_EQ(PathFindExtension(S(u"/a/.profile")), u"");
    EXPECT_EQ(PathFindExtension(S(u"/a/..")), u"");
    EXPECT_EQ(PathFindExtension(S(u"/a/b.")), u".");

    EXPECT_EQ(PathRemoveExtension(S(u"/a/quorvia-cli.exe")), S(u"/a/quorvia-cli"));
    EXPECT_EQ(PathRemoveExtension(S(u"/a.d/b")), S(u"/a.d/b"));
    EXPECT_EQ(PathRemoveExtension(S(u"/a/b.txt/")), S(u"/a/b/"));
    EXPECT_EQ(PathRemoveExtension(u".profile"), u".profile");
}

TEST(PathUtil, RootsAreSharedByAbsolutePathsOnly) {
#if defined(_WIN32)
    // "\\a" is relative there: to the current directory's drive.
    const std::u16string drive = u"C:";
    EXPECT_TRUE(PathIsRelative(u"\\x"));
    EXPECT_FALSE(PathIsSameRoot(u"C:\\a", u"D:\\a"));
#else
    const std::u16string drive;
#endif
    EXPECT_TRUE(PathIsSameRoot(drive + S(u"/a"), drive + S(u"/b/c")));
    EXPECT_FALSE(PathIsSameRoot(drive + S(u"/a"), u"b"));
    EXPECT_FALSE(PathIsSameRoot(u"a", u"b"));
    EXPECT_TRUE(PathIsRelative(u""));
    EXPECT_FALSE(PathIsRelative(drive + S(u"/x")));
}

TEST(PathUtil, FileSystemQueries) {
    test::TempDir dir;
    const auto file = dir.Write("文件.txt", "x");
    std::filesystem::create_directory(dir / "sub");
    const std::u16string root = test::PathText(dir.path());

    EXPECT_TRUE(PathFileExists(test::PathText(file)));
    EXPECT_FALSE(PathIsDirectory(test::PathText(file)));
    EXPECT_TRUE(PathIsDirectory(root + S(u"/sub")));
    EXPECT_TRUE(PathFileExists(root + S(u"/sub")));
    EXPECT_FALSE(PathFileExists(root + S(u"/missing")));
    EXPECT_FALSE(PathFileExists(u""));

#if !defined(_WIN32)
    // Linux only: symbolic links need a privilege on Windows, and its names
    // are UTF-16, never bytes that are not text.
    std::filesystem::create_symlink(dir / "missing", dir / "dangling");
    EXPECT_FALSE(PathFileExists(root + u"/dangling"));

    // A name that is not UTF-8 survives the round trip to the OS.
    const std::string rawName = dir.path().string() + "/raw\xFF\xFE";
    dir.Write("raw\xFF\xFE", "y");
    EXPECT_TRUE(PathFileExists(PathFromOs(rawName)));
#endif
}

TEST(PathUtil, MakeAbsoluteUsesTheCurrentDirectory) {
    test::TempDir dir;
    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const std::u16string root = test::PathText(std::filesystem::current_path());
    EXPECT_EQ(MakeAbsolute(u"a/./b/../c"), root + S(u"/a/c"));
    EXPECT_EQ(MakeAbsolute(u""), root);
#if defined(_WIN32)
    // "\x" is the root of the current directory's drive there.
    EXPECT_EQ(MakeAbsolute(u"/x//y/"), root.substr(0, 2) + u"\\x\\y");
#else
    EXPECT_EQ(MakeAbsolute(u"/x//y/"), u"/x/y");
#endif
    std::filesystem::current_path(saved);
}

}  // namespace
}  // namespace qm
