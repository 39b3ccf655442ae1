#include "document/task_paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/utf.h"
#include "support/path_text.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

std::u16string Root(std::vector<QmChosenPath> chosen) {
    std::u16string root = u"unchanged";
    if (!ComputeCommonRoot(chosen, root)) return u"<none:" + root + u">";
    return root;
}

TEST(CommonRoot, SingleInputGivesItsDirectory) {
    EXPECT_EQ(Root({{u"/data/a.iso", false}}), u"/data");
    EXPECT_EQ(Root({{u"/data", true}}), u"/data");
    EXPECT_EQ(Root({{u"/data/", true}}), u"/data");
    EXPECT_EQ(Root({{u"/a.iso", false}}), u"/");
    EXPECT_EQ(Root({{u"/", true}}), u"/");
}

// An absolute path written Linux-style, in the system's own form: on
// Windows on drive C: with '\\'.
std::u16string Abs(std::u16string_view path) {
#if defined(_WIN32)
    std::u16string text = u"C:";
    for (char16_t c : path) text.push_back(c == u'/' ? u'\\' : c);
    return text;
#else
    return std::u16string(path);
#endif
}

TEST(CommonRoot, ShortensByWholeComponents) {
    EXPECT_EQ(Root({{Abs(u"/data/x/1.bin"), false}, {Abs(u"/data/y"), true}}), Abs(u"/data"));
    EXPECT_EQ(Root({{Abs(u"/ab"), true}, {Abs(u"/abc/f.txt"), false}}), Abs(u"/"));
    // A character-wise prefix is not a parent: "/data/data" is not above
    // "/data/database".
    EXPECT_EQ(Root({{Abs(u"/data/data"), true}, {Abs(u"/data/database/x"), false}}), Abs(u"/data"));
    EXPECT_EQ(Root({{Abs(u"/data/x"), true}, {Abs(u"/data/x/deep/er"), true}, {Abs(u"/data/x/f"), false}}),
              Abs(u"/data/x"));
    // The same directory twice, once with separators to ignore.
    EXPECT_EQ(Root({{Abs(u"/srv//d/"), true}, {Abs(u"/srv/d"), true}}), Abs(u"/srv/d"));
#if defined(_WIN32)
    // Windows names ignore the case of A-Z: one directory, as first spelt.
    EXPECT_EQ(Root({{Abs(u"/Data/a"), false}, {Abs(u"/data/b"), false}}), Abs(u"/Data"));
#else
    // Exact comparison: directories differing in case are different.
    EXPECT_EQ(Root({{u"/Data/a", false}, {u"/data/b", false}}), u"/");
#endif
}

TEST(CommonRoot, RelativeInputsShareNoRoot) {
    EXPECT_EQ(Root({{u"/data/a", false}, {u"rel/b", false}}), u"<none:>");
    EXPECT_EQ(Root({{u"rel/a", false}, {u"rel/b", false}}), u"<none:>");
    EXPECT_EQ(Root({}), u"<none:>");
}

class TaskPathsTest : public ::testing::Test {
protected:
    std::u16string P(std::string_view name) const { return test::PathText(dir_ / name); }
    test::TempDir dir_;
};

TEST_F(TaskPathsTest, ExistingInputsGiveChosenPathsAndRoot) {
    dir_.Write("a/x/1.bin", "1");
    std::filesystem::create_directories(dir_ / "a/y");
    const std::vector<std::u16string> paths = {P("a/x/1.bin"), P("a/y")};
    const QmTaskPathCheck check = CheckTaskPaths(paths);
    ASSERT_EQ(check.status, QmTaskPathStatus::Ok);
    const std::vector<QmChosenPath> expected = {{P("a/x/1.bin"), false}, {P("a/y"), true}};
    EXPECT_EQ(check.chosen, expected);
    EXPECT_EQ(check.commonRoot, P("a"));
    EXPECT_TRUE(check.missing.empty());
}

TEST_F(TaskPathsTest, EveryMissingPathIsReported) {
    dir_.Write("here.bin", "x");
    const std::vector<std::u16string> paths = {P("here.bin"), P("gone1"), P("gone2"), u""};
    const QmTaskPathCheck check = CheckTaskPaths(paths);
    ASSERT_EQ(check.status, QmTaskPathStatus::MissingPaths);
    EXPECT_EQ(check.missing, (std::vector<size_t>{1, 2, 3}));
    EXPECT_TRUE(check.chosen.empty());
    EXPECT_TRUE(check.commonRoot.empty());
    EXPECT_EQ(FormatMissingPaths(paths, check.missing, u"\r\n", true),
              u"以下文件或目录已不存在，请检查后再重新尝试：\r\n\r\n" + P("gone1") + u"\r\n" + P("gone2") +
                  u"\r\n\r\n");
    EXPECT_EQ(FormatMissingPaths(paths, std::vector<size_t>{1}, u"\n", false),
              u"以下文件或目录已不存在，请检查后再重新尝试：\n" + P("gone1") + u"\n");
}

#if !defined(_WIN32)
// Symbolic links need a privilege on Windows that Wine and an ordinary
// account lack.
TEST_F(TaskPathsTest, LinksAreFollowed) {
    std::filesystem::create_directories(dir_ / "real");
    std::filesystem::create_directory_symlink(dir_ / "real", dir_ / "link");
    std::filesystem::create_symlink(dir_ / "nowhere", dir_ / "dangling");
    const std::vector<std::u16string> linked = {P("link")};
    const QmTaskPathCheck check = CheckTaskPaths(linked);
    ASSERT_EQ(check.status, QmTaskPathStatus::Ok);
    EXPECT_TRUE(check.chosen.at(0).isDirectory);
    EXPECT_EQ(check.commonRoot, P("link"));
    const std::vector<std::u16string> dangling = {P("dangling")};
    EXPECT_EQ(CheckTaskPaths(dangling).status, QmTaskPathStatus::MissingPaths);
}

#endif

TEST_F(TaskPathsTest, EmptyListAndUnrelatedRoots) {
    EXPECT_EQ(CheckTaskPaths({}).status, QmTaskPathStatus::NoPaths);
    dir_.Write("f", "x");
    // The current directory of the test exists, named relatively.
    const std::vector<std::u16string> mixed = {P("f"), u"."};
    const QmTaskPathCheck check = CheckTaskPaths(mixed);
    EXPECT_EQ(check.status, QmTaskPathStatus::NoCommonRoot);
    EXPECT_TRUE(check.chosen.empty());
}

}  // namespace
}  // namespace qm
