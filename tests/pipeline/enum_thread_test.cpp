#include "pipeline/enum_thread.h"

#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "common/error_record.h"
#include "common/formatting.h"
#include "common/os/directory.h"
#include "common/os/error_codes.h"
#include "common/os/file.h"
#include "common/utf.h"
#include "document/hash_list.h"
#include "document/quorvia_doc.h"
#include "engines/register_engines.h"
#include "pipeline/pipeline_test_util.h"
#include "support/path_text.h"
#include "support/system_text.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;


#if defined(_WIN32)
// What the system itself says when a folder is listed: Windows and Wine give
// different codes for a missing folder and an overlong name.
uint32_t ListingFailure(const fs::path& folder) {
    os::DirectoryListing listing;
    EXPECT_FALSE(listing.Open(test::PathText(folder)));
    return os::LastErrorCode();
}
#endif

std::u16string U(const fs::path& path) { return test::PathText(path); }

std::u16string SystemText(uint32_t code) { return test::SystemTextFor(code); }

// Every case runs with the enumeration alone and with helpers listing the
// directories ahead of it: the items, their order and the totals are the same.
class EnumThreadTest : public ::testing::TestWithParam<uint32_t> {
protected:
    void SetUp() override {
        RegisterBuiltInEngines();
        GetQuorviaDoc().Clear();
        thread.SetHelperCount(GetParam());
    }
    void TearDown() override {
        SetFileIconProvider(nullptr);
        GetQuorviaDoc().Clear();
    }

    // Runs one enumeration to its end; returns lParam of its end message.
    intptr_t Run(const std::vector<std::pair<fs::path, bool>>& inputs, bool recurse, const fs::path& root = {}) {
        CQmQuorviaDoc& document = GetQuorviaDoc();
        document.Clear();
        EXPECT_TRUE(document.BeginTask(U(root.empty() ? dir.path() : root), QM_HASH_SHA1, recurse));
        for (const auto& [path, isDirectory] : inputs) thread.AddPendingPath(U(path), isDirectory);
        thread.SetNotify(&target, WMU_ENUM_DONE);
        EXPECT_TRUE(thread.Start());
        const auto message = target.Next();
        EXPECT_TRUE(thread.Stop(false, QM_INFINITE, false));
        if (!message) {
            ADD_FAILURE() << "no end message";
            return -1;
        }
        EXPECT_EQ(message->message, WMU_ENUM_DONE);
        EXPECT_EQ(message->wParam, 1u) << "the enumeration records no error of its own";
        return message->lParam;
    }

    std::vector<std::u16string> ItemPaths() const {
        std::vector<std::u16string> paths;
        for (size_t i = 0; CQmQuorviaItem* item = GetQuorviaDoc().GetItemAt(i); ++i) paths.push_back(item->GetPath());
        return paths;
    }

    void ExpectTotalsMatchItems() const {
        uint64_t bytes = 0, count = 0;
        for (size_t i = 0; CQmQuorviaItem* item = GetQuorviaDoc().GetItemAt(i); ++i, ++count) bytes += item->GetLength();
        EXPECT_EQ(GetQuorviaDoc().GetFileCount(), count);
        EXPECT_EQ(GetQuorviaDoc().GetTotalBytes(), bytes);
    }

    test::TempDir dir;
    test::RecordingTarget target;
    CQmEnumFileThread thread;
};

TEST_P(EnumThreadTest, ListsBreadthFirstAfterEverythingPendingBefore) {
    dir.Write("a/fa", "1");
    dir.Write("a/b/fb", "22");
    dir.Write("a/b/c/fc", "333");
    dir.Write("x", "4444");
    EXPECT_EQ(Run({{dir / "a", true}, {dir / "x", false}}, true), 0);
    EXPECT_EQ(ItemPaths(), (std::vector<std::u16string>{U(dir / "a/fa"), U(dir / "x"), U(dir / "a/b/fb"),
                                                          U(dir / "a/b/c/fc")}));
    EXPECT_EQ(GetQuorviaDoc().GetTotalBytes(), 10u);
    EXPECT_EQ(GetQuorviaDoc().GetFileCount(), 4u);
    for (size_t i = 0; CQmQuorviaItem* item = GetQuorviaDoc().GetItemAt(i); ++i) {
        EXPECT_TRUE(item->IsSelected());
        EXPECT_TRUE(item->GetError().empty());
    }
}

TEST_P(EnumThreadTest, WithoutSubdirectoriesOnlyTheDirectorysOwnFiles) {
    dir.Write("a/fa", "1");
    dir.Write("a/b/fb", "22");
    EXPECT_EQ(Run({{dir / "a", true}}, false), 0);
    EXPECT_EQ(ItemPaths(), std::vector<std::u16string>{U(dir / "a/fa")});
    ExpectTotalsMatchItems();
}

TEST_P(EnumThreadTest, EmptyDirectoryGivesNothing) {
    fs::create_directories(dir / "empty");
    EXPECT_EQ(Run({{dir / "empty", true}}, true), 0);
    EXPECT_TRUE(ItemPaths().empty());
    EXPECT_EQ(GetQuorviaDoc().GetTotalBytes(), 0u);
    EXPECT_EQ(GetQuorviaDoc().GetFileCount(), 0u);
    EXPECT_EQ(Run({}, true), 0) << "no inputs at all";
    EXPECT_TRUE(ItemPaths().empty());
}

TEST_P(EnumThreadTest, SizesAndTimesComeFromTheListing) {
    const fs::path file = dir.Write("d/file", "twelve bytes");
    const fs::path single = dir.Write("single", "seven b");
    EXPECT_EQ(Run({{dir / "d", true}, {single, false}}, true), 0);
    for (const fs::path& path : {file, single}) {
#if defined(_WIN32)
        // The attributes of the path itself, asked apart from the listing.
        os::FileAttributes attributes;
        ASSERT_TRUE(os::GetPathAttributes(U(path), attributes));
        const uint64_t size = attributes.size;
        const uint64_t written = attributes.lastWriteTime;
#else
        struct stat st;
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        const uint64_t size = static_cast<uint64_t>(st.st_size);
        const uint64_t written = FileTimeFromTimespec(st.st_mtim);
#endif
        size_t i = 0;
        CQmQuorviaItem* item = nullptr;
        while ((item = GetQuorviaDoc().GetItemAt(i++)) && item->GetPath() != U(path)) {}
        ASSERT_NE(item, nullptr) << path;
        EXPECT_EQ(item->GetLength(), size);
        EXPECT_EQ(item->GetLastWriteTime(), written);
    }
}

TEST_P(EnumThreadTest, StopDuringALargeDirectoryKeepsWhatWasFound) {
    for (int i = 0; i < 400; ++i) dir.Write("big/f" + std::to_string(i), std::string(static_cast<size_t>(i % 7), 'x'));
    dir.Write("later/g", "not reached");

    // Every item asks for its icon as it is made: the 100th asks for a stop.
    struct StopAfter : CQmFileIconProvider {
        int32_t GetFileIconIndex(std::u16string_view) override {
            if (++count == 100) thread->RequestStop();
            return 3;
        }
        std::atomic<int> count{0};
        CQmThreadObj* thread = nullptr;
    } provider;
    provider.thread = &thread;
    SetFileIconProvider(&provider);

    EXPECT_EQ(Run({{dir / "big", true}, {dir / "later", true}}, true), 1);
    const auto paths = ItemPaths();
    EXPECT_EQ(paths.size(), 100u) << "the stop is seen right after the entry that asked for it";
    for (const auto& path : paths) EXPECT_EQ(path.find(U(dir / "later")), std::u16string::npos);
    ExpectTotalsMatchItems();
    EXPECT_EQ(GetQuorviaDoc().GetItemAt(0)->GetIconIndex(), 3);
}

#if !defined(_WIN32)
// Symbolic links to folders need a privilege on Windows that Wine and an
// ordinary account lack.
TEST_P(EnumThreadTest, LinkCyclesEndAndOtherLinksAreFollowed) {
    dir.Write("a/fa", "1");
    dir.Write("a/b/fb", "22");
    fs::create_directory_symlink(dir / "a", dir / "a/b/up");     // back to an ancestor
    fs::create_directory_symlink(".", dir / "a/self");           // to itself
    fs::create_directory_symlink(dir / "a/b", dir / "a/side");   // to a sibling: listed again
    EXPECT_EQ(Run({{dir / "a", true}}, true), 0);
    auto paths = ItemPaths();
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::u16string>{U(dir / "a/b/fb"), U(dir / "a/fa"), U(dir / "a/side/fb")}));
    ExpectTotalsMatchItems();
}

#endif

TEST_P(EnumThreadTest, UnlistableDirectoriesBecomeFailedEntriesAndVanishedFilesAreKept) {
    dir.Write("ok/f", "abc");
    const fs::path notADirectory = dir.Write("plain", "x");
#if !defined(_WIN32)
    fs::create_symlink(dir / "nowhere", dir / "ok/dangling");
#endif
    // A name beyond the file system's limit cannot be opened at all.
    const fs::path tooLong = dir / std::string(300, 'n');
    EXPECT_EQ(Run({{dir / "missing", true},
                   {notADirectory, true},
                   {tooLong, true},
                   {dir / "ok", true},
                   {dir / "gone", false}},
                  true),
              0);
#if defined(_WIN32)
    const uint32_t missingFolder = ListingFailure(dir / "missing");
    const uint32_t nameTooLong = ListingFailure(tooLong);
#else
    const uint32_t missingFolder = os::kErrorNotFound;
    const uint32_t nameTooLong = os::kErrorNameTooLong;
#endif
    const std::vector<std::pair<fs::path, std::u16string>> expected = {
        {dir / "missing", u"打开目录失败:" + SystemText(missingFolder)},
        {notADirectory, u"打开目录失败:" + SystemText(os::kErrorNotDirectory)},
        {tooLong, u"打开目录失败:" + SystemText(nameTooLong)},
#if !defined(_WIN32)
        // The dangling link and the vanished input become items that carry
        // the reason they have no size; the reader then fails to open them.
        {dir / "ok/dangling", u"获取文件属性失败:" + SystemText(os::kErrorNotFound)},
#endif
        {dir / "ok/f", u""},
        {dir / "gone", u"获取文件属性失败:" + SystemText(os::kErrorNotFound)},
    };
    ASSERT_EQ(ItemPaths().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const CQmQuorviaItem* item = GetQuorviaDoc().GetItemAt(i);
        EXPECT_EQ(item->GetPath(), U(expected[i].first));
        EXPECT_EQ(item->GetError(), expected[i].second) << Utf16ToUtf8(item->GetPath());
        EXPECT_EQ(item->GetLength(), expected[i].second.empty() ? 3u : 0u);
        EXPECT_TRUE(item->IsSelected()) << "shown and reported like any failed file";
        EXPECT_FALSE(item->HasHash());
        // A folder that failed is finished already, so no reader opens it;
        // the files are still to be read.
        EXPECT_EQ(item->IsProcessed(), expected[i].second.starts_with(u"打开目录失败")) << Utf16ToUtf8(item->GetPath());
    }
    ExpectTotalsMatchItems();
}

#if !defined(_WIN32)
// Linux only: names there are bytes. One that is not UTF-8 below the task's
// folder has no form a list can hold, so its file fails with the reason and
// is never read; what lies above the task's folder is no part of any name a
// list holds.
TEST_P(EnumThreadTest, NamesThatAreNotUtf8FailBelowTheTasksFolder) {
    const fs::path top = dir / "top\xFD";
    dir.Write("top\xFD/ok.txt", "ok");
    dir.Write("top\xFD/bad\xFF.txt", "bad");
    dir.Write("top\xFD/sub\xFE/inner.txt", "inner");
    dir.Write("top\xFD/sub/fine.txt", "fine");
    EXPECT_EQ(Run({{top, true}}, true, top), 0);
    const std::vector<std::pair<fs::path, bool>> expected = {
        {top / "bad\xFF.txt", false}, {top / "ok.txt", true}, {top / "sub/fine.txt", true},
        {top / "sub\xFE/inner.txt", false}};
    std::vector<std::pair<fs::path, bool>> found;
    for (size_t i = 0; CQmQuorviaItem* item = GetQuorviaDoc().GetItemAt(i); ++i) {
        const bool fine = item->GetError().empty();
        found.emplace_back(PathToOs(item->GetPath()), fine);
        if (!fine) {
            EXPECT_EQ(item->GetError(), kUnwritableNameText);
            EXPECT_TRUE(item->IsProcessed()) << "no reader opens it";
        }
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, expected);
    ExpectTotalsMatchItems();
    // A single input file with such a name fails alike.
    EXPECT_EQ(Run({{top / "bad\xFF.txt", false}}, true, top), 0);
    ASSERT_EQ(ItemPaths().size(), 1u);
    EXPECT_EQ(GetQuorviaDoc().GetItemAt(0)->GetError(), kUnwritableNameText);
}

// Linux only: it takes the rights of another user in a child process.
// A folder the user may not read: as root every folder can be read, so the
// listing runs in a child process under the unprivileged "nobody" ids and
// sends back what it found.
TEST_P(EnumThreadTest, FolderThatMayNotBeReadIsAFailedEntry) {
    dir.Write("top/a.txt", "a");
    dir.Write("top/locked/hidden.txt", "secret");
    dir.Write("top/z/b.txt", "b");
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(dir / "top/locked", fs::perms::owner_write);  // neither readable nor searchable by others
    const bool root = ::geteuid() == 0;
    if (!root) fs::permissions(dir / "top/locked", fs::perms::none);

    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(channel[0]);
        if (root && (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
                     ::setresuid(65534, 65534, 65534) != 0))
            ::_exit(3);
        CQmQuorviaDoc& document = GetQuorviaDoc();
        document.Clear();
        if (!document.BeginTask(U(dir.path()), QM_HASH_SHA1, true)) ::_exit(4);
        CQmEnumFileThread child_thread;
        test::RecordingTarget childTarget;
        child_thread.AddPendingPath(U(dir / "top"), true);
        child_thread.SetNotify(&childTarget, WMU_ENUM_DONE);
        if (!child_thread.Start() || !childTarget.Next() || !child_thread.Stop(false, QM_INFINITE, false)) ::_exit(5);
        std::string out;
        for (size_t i = 0; CQmQuorviaItem* item = document.GetItemAt(i); ++i)
            out += Utf16ToUtf8(item->GetPath()) + '\t' + Utf16ToUtf8(item->GetError()) + '\t' +
                   (item->IsProcessed() ? "processed" : "pending") + '\n';
        const bool sent = ::write(channel[1], out.data(), out.size()) == static_cast<ssize_t>(out.size());
        ::_exit(sent ? 0 : 6);
    }
    ::close(channel[1]);
    std::string received;
    char buffer[4096];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;) received.append(buffer, static_cast<size_t>(n));
    ::close(channel[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    fs::permissions(dir / "top/locked", fs::perms::owner_all);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 3) GTEST_SKIP() << "the unprivileged ids cannot be taken here";
    ASSERT_EQ(WEXITSTATUS(status), 0);

    const std::string top = (dir / "top").string();
    EXPECT_EQ(received, top + "/a.txt\t\tpending\n" + top + "/locked\t" +
                            Utf16ToUtf8(u"打开目录失败:" + SystemText(EACCES)) + "\tprocessed\n" + top +
                            "/z/b.txt\t\tpending\n");
}

#endif

TEST_P(EnumThreadTest, EntriesOfEachDirectoryComeInNameOrder) {
    // Numbers by value, then names without regard to case: folders too, so
    // the groups of a tree come out in the same order on every system.
    for (const char* name : {"b.txt", "10.txt", "A.txt", "9.txt", "c.txt"}) dir.Write(std::string("d/") + name, "x");
    for (const char* sub : {"beta", "10", "Alpha", "9", "gamma"}) dir.Write(std::string("d/") + sub + "/f", "y");
    dir.Write("d/9/inner/g", "z");
    dir.Write("d/9/e", "z");
    EXPECT_EQ(Run({{dir / "d", true}}, true), 0);
    std::vector<std::u16string> expected;
    for (const char* name : {"9.txt", "10.txt", "A.txt", "b.txt", "c.txt", "9/e", "9/f", "10/f", "Alpha/f", "beta/f",
                             "gamma/f", "9/inner/g"})
        expected.push_back(U(dir / "d" / name));
    EXPECT_EQ(ItemPaths(), expected);
    ExpectTotalsMatchItems();
}

INSTANTIATE_TEST_SUITE_P(Helpers, EnumThreadTest, ::testing::Values(0u, 2u),
                         [](const ::testing::TestParamInfo<uint32_t>& info) {
                             return info.param == 0 ? std::string("Alone") : "With" + std::to_string(info.param) + "Helpers";
                         });

}  // namespace
}  // namespace qm
