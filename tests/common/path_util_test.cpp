#include "common/path_util.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "common/utf.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

TEST(PathUtil, NormalizeResolvesDotsAndSeparatorRuns) {
    const struct {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {u"", u""},
        {u"/", u"/"},
        {u"//", u"/"},
        {u"/a//b/./c/", u"/a/b/c"},
        {u"/a/b/../c", u"/a/c"},
        {u"/a/../../..", u"/"},
        {u"/..", u"/"},
        {u"a/..", u"."},
        {u".", u"."},
        {u"./a", u"a"},
        {u"../a/../../b", u"../../b"},
        {u"a/../../b", u"../b"},
        {u"/a/b/..x/.y", u"/a/b/..x/.y"},
    };
    for (const auto& c : cases) EXPECT_EQ(NormalizePath(c.in), c.out) << Utf16ToUtf8(c.in);
}

TEST(PathUtil, CombineAndAppend) {
    EXPECT_EQ(PathCombine(u"/root/dir", u"sub/f.txt"), u"/root/dir/sub/f.txt");
    EXPECT_EQ(PathCombine(u"/root/dir/", u"./f.txt"), u"/root/dir/f.txt");
    EXPECT_EQ(PathCombine(u"/root/dir", u"../f.txt"), u"/root/f.txt");
    EXPECT_EQ(PathCombine(u"/root/dir", u"/abs/f.txt"), u"/abs/f.txt");  // absolute stands for itself
    EXPECT_EQ(PathCombine(u"", u"f.txt"), u"f.txt");
    EXPECT_EQ(PathCombine(u"/root", u""), u"/root");
    EXPECT_EQ(PathCombine(u"", u""), u"");

    std::u16string path = u"/root";
    PathAppend(path, u"a");
    PathAppend(path, u"/b");  // stays below, unlike PathCombine
    PathAppend(path, u"名字.txt");
    EXPECT_EQ(path, u"/root/a/b/名字.txt");
    PathAppend(path, u"");
    EXPECT_EQ(path, u"/root/a/b/名字.txt");
}

TEST(PathUtil, ComponentsOfAPath) {
    EXPECT_EQ(PathRemoveFileSpec(u"/a/b.txt"), u"/a");
    EXPECT_EQ(PathRemoveFileSpec(u"/a"), u"/");
    EXPECT_EQ(PathRemoveFileSpec(u"/"), u"/");
    EXPECT_EQ(PathRemoveFileSpec(u"b.txt"), u"");
    EXPECT_EQ(PathRemoveFileSpec(u"a/b/"), u"a/b");
    EXPECT_EQ(PathRemoveFileSpec(u"/a//b"), u"/a");

    EXPECT_EQ(PathFindFileName(u"/a/b.txt"), u"b.txt");
    EXPECT_EQ(PathFindFileName(u"/a/b/"), u"b");
    EXPECT_EQ(PathFindFileName(u"b"), u"b");
    EXPECT_EQ(PathFindFileName(u"/"), u"/");
    EXPECT_EQ(PathFindFileName(u""), u"");

    EXPECT_EQ(PathFindExtension(u"/a/b.tar.gz"), u".gz");
    EXPECT_EQ(PathFindExtension(u"/a.d/b"), u"");  // a dot in a directory is no extension
    EXPECT_EQ(PathFindExtension(u"/a/.profile"), u"");
    EXPECT_EQ(PathFindExtension(u"/a/.."), u"");
    EXPECT_EQ(PathFindExtension(u"/a/b."), u".");

    EXPECT_EQ(PathRemoveExtension(u"/a/quorvia-cli.exe"), u"/a/quorvia-cli");
    EXPECT_EQ(PathRemoveExtension(u"/a.d/b"), u"/a.d/b");
    EXPECT_EQ(PathRemoveExtension(u"/a/b.txt/"), u"/a/b/");
    EXPECT_EQ(PathRemoveExtension(u".profile"), u".profile");
}

TEST(PathUtil, RootsAreSharedByAbsolutePathsOnly) {
    EXPECT_TRUE(PathIsSameRoot(u"/a", u"/b/c"));
    EXPECT_FALSE(PathIsSameRoot(u"/a", u"b"));
    EXPECT_FALSE(PathIsSameRoot(u"a", u"b"));
    EXPECT_TRUE(PathIsRelative(u""));
    EXPECT_FALSE(PathIsRelative(u"/x"));
}

TEST(PathUtil, FileSystemQueries) {
    test::TempDir dir;
    const auto file = dir.Write("文件.txt", "x");
    std::filesystem::create_directory(dir / "sub");
    std::filesystem::create_symlink(dir / "missing", dir / "dangling");
    const std::u16string root = PathFromOs(dir.path().string());

    EXPECT_TRUE(PathFileExists(PathFromOs(file.string())));
    EXPECT_FALSE(PathIsDirectory(PathFromOs(file.string())));
    EXPECT_TRUE(PathIsDirectory(root + u"/sub"));
    EXPECT_TRUE(PathFileExists(root + u"/sub"));
    EXPECT_FALSE(PathFileExists(root + u"/missing"));
    EXPECT_FALSE(PathFileExists(root + u"/dangling"));
    EXPECT_FALSE(PathFileExists(u""));

    // A name that is not UTF-8 survives the round trip to the OS.
    const std::string rawName = dir.path().string() + "/raw\xFF\xFE";
    dir.Write("raw\xFF\xFE", "y");
    EXPECT_TRUE(PathFileExists(PathFromOs(rawName)));
}

TEST(PathUtil, MakeAbsoluteUsesTheCurrentDirectory) {
    test::TempDir dir;
    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const std::u16string root = PathFromOs(std::filesystem::current_path().string());
    EXPECT_EQ(MakeAbsolute(u"a/./b/../c"), root + u"/a/c");
    EXPECT_EQ(MakeAbsolute(u""), root);
    EXPECT_EQ(MakeAbsolute(u"/x//y/"), u"/x/y");
    std::filesystem::current_path(saved);
}

}  // namespace
}  // namespace qm
