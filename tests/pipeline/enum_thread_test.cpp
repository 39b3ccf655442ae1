#include "pipeline/enum_thread.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "common/error_record.h"
#include "common/formatting.h"
#include "common/utf.h"
#include "document/quorvia_doc.h"
#include "engines/register_engines.h"
#include "pipeline/pipeline_test_util.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

std::u16string U(const fs::path& path) { return PathFromOs(path.string()); }

class EnumThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterBuiltInEngines();
        GetQuorviaDoc().Clear();
    }
    void TearDown() override {
        SetFileIconProvider(nullptr);
        GetQuorviaDoc().Clear();
    }

    // Runs one enumeration to its end; returns lParam of its end message.
    intptr_t Run(const std::vector<std::pair<fs::path, bool>>& inputs, bool recurse) {
        CQmQuorviaDoc& document = GetQuorviaDoc();
        document.Clear();
        EXPECT_TRUE(document.BeginTask(U(dir.path()), QM_HASH_SHA1, recurse));
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

TEST_F(EnumThreadTest, ListsBreadthFirstAfterEverythingPendingBefore) {
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

TEST_F(EnumThreadTest, WithoutSubdirectoriesOnlyTheDirectorysOwnFiles) {
    dir.Write("a/fa", "1");
    dir.Write("a/b/fb", "22");
    EXPECT_EQ(Run({{dir / "a", true}}, false), 0);
    EXPECT_EQ(ItemPaths(), std::vector<std::u16string>{U(dir / "a/fa")});
    ExpectTotalsMatchItems();
}

TEST_F(EnumThreadTest, EmptyDirectoryGivesNothing) {
    fs::create_directories(dir / "empty");
    EXPECT_EQ(Run({{dir / "empty", true}}, true), 0);
    EXPECT_TRUE(ItemPaths().empty());
    EXPECT_EQ(GetQuorviaDoc().GetTotalBytes(), 0u);
    EXPECT_EQ(GetQuorviaDoc().GetFileCount(), 0u);
    EXPECT_EQ(Run({}, true), 0) << "no inputs at all";
    EXPECT_TRUE(ItemPaths().empty());
}

TEST_F(EnumThreadTest, SizesAndTimesComeFromTheListing) {
    const fs::path file = dir.Write("d/file", "twelve bytes");
    const fs::path single = dir.Write("single", "seven b");
    EXPECT_EQ(Run({{dir / "d", true}, {single, false}}, true), 0);
    for (const fs::path& path : {file, single}) {
        struct stat st;
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        size_t i = 0;
        CQmQuorviaItem* item = nullptr;
        while ((item = GetQuorviaDoc().GetItemAt(i++)) && item->GetPath() != U(path)) {}
        ASSERT_NE(item, nullptr) << path;
        EXPECT_EQ(item->GetLength(), static_cast<uint64_t>(st.st_size));
        EXPECT_EQ(item->GetLastWriteTime(), FileTimeFromTimespec(st.st_mtim));
    }
}

TEST_F(EnumThreadTest, StopDuringALargeDirectoryKeepsWhatWasFound) {
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

TEST_F(EnumThreadTest, LinkCyclesEndAndOtherLinksAreFollowed) {
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

TEST_F(EnumThreadTest, UnlistableDirectoriesAreSkippedAndVanishedFilesKept) {
    dir.Write("ok/f", "abc");
    const fs::path notADirectory = dir.Write("plain", "x");
    fs::create_symlink(dir / "nowhere", dir / "ok/dangling");
    EXPECT_EQ(Run({{dir / "missing", true}, {notADirectory, true}, {dir / "ok", true}, {dir / "gone", false}}, true),
              0);
    auto paths = ItemPaths();
    ASSERT_EQ(paths.size(), 3u);
    std::u16string noEntry;
    ASSERT_TRUE(GetSystemErrorMessage(ENOENT, noEntry));
    for (size_t i = 0; CQmQuorviaItem* item = GetQuorviaDoc().GetItemAt(i); ++i) {
        if (item->GetPath() == U(dir / "ok/f")) {
            EXPECT_TRUE(item->GetError().empty());
            EXPECT_EQ(item->GetLength(), 3u);
        } else {
            // The dangling link and the vanished input both become items
            // that carry the reason they have no size.
            EXPECT_EQ(item->GetError(), u"获取文件属性失败:" + noEntry) << Utf16ToUtf8(item->GetPath());
            EXPECT_EQ(item->GetLength(), 0u);
        }
    }
    EXPECT_EQ(paths.back(), U(dir / "gone"));
    ExpectTotalsMatchItems();
}

}  // namespace
}  // namespace qm
