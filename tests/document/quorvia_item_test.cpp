// Items of the hash document: creation, the refreshing open, digests.
#if !defined(_WIN32)
#include <sys/stat.h>
#include <utime.h>
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "common/error_record.h"
#include "common/formatting.h"
#include "common/os/error_codes.h"
#include "common/os/file.h"
#include "common/utf.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "engines/hash_object.h"
#include "support/path_text.h"
#include "support/system_text.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

std::u16string U16(const std::filesystem::path& path) { return test::PathText(path); }

#if defined(_WIN32)
// The attributes of the path, asked apart from the item's own way to them.
uint64_t MTimeOf(const std::filesystem::path& path) {
    os::FileAttributes attributes;
    EXPECT_TRUE(os::GetPathAttributes(U16(path), attributes));
    return attributes.lastWriteTime;
}

void SetMTime(const std::filesystem::path& path, int64_t seconds) {
    using namespace std::chrono;
    std::filesystem::last_write_time(path, file_clock::from_sys(sys_seconds(seconds * 1s)));
}
#else
uint64_t MTimeOf(const std::filesystem::path& path) {
    struct stat st;
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return FileTimeFromTimespec(st.st_mtim);
}

void SetMTime(const std::filesystem::path& path, time_t seconds) {
    struct utimbuf times{seconds, seconds};
    ASSERT_EQ(::utime(path.c_str(), &times), 0);
}
#endif

std::u16string SystemText(uint32_t error) { return test::SystemTextFor(error); }

// Tests that go through the process-wide document leave it as they found it.
class ItemTest : public ::testing::Test {
protected:
    void TearDown() override {
        CQmQuorviaDoc& doc = GetQuorviaDoc();
        doc.SetVerifyMode(false);
        doc.Clear();
        doc.RecountSelectedBytes();
    }
    test::TempDir dir_;
};

TEST_F(ItemTest, CreateTakesMissingSizeAndTimeFromTheFile) {
    const auto file = dir_.Write("a.txt", "hello");
    auto item = CQmQuorviaItem::CreateItem(U16(file), kUnknownFileSize, 0);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->GetPath(), U16(file));
    EXPECT_EQ(item->GetLength(), 5u);
    EXPECT_EQ(item->GetLastWriteTime(), MTimeOf(file));
    EXPECT_TRUE(item->IsSelected());
    EXPECT_EQ(item->GetIconIndex(), -1);
    EXPECT_EQ(item->GetOffset(), 0u);
    EXPECT_TRUE(item->GetError().empty());

    // Known values are taken as given, without asking the file system.
    auto listed = CQmQuorviaItem::CreateItem(U16(dir_ / "not-there"), 123, 456);
    EXPECT_EQ(listed->GetLength(), 123u);
    EXPECT_EQ(listed->GetLastWriteTime(), 456u);
    EXPECT_TRUE(listed->GetError().empty());
}

TEST_F(ItemTest, CreateForAMissingFileCarriesTheAttributeError) {
    const std::u16string expected = u"获取文件属性失败:" + SystemText(os::kErrorNotFound);
    for (uint64_t size : {kUnknownFileSize, uint64_t{0}}) {
        auto item = CQmQuorviaItem::CreateItem(U16(dir_ / "gone"), size, 0);
        ASSERT_TRUE(item);
        EXPECT_EQ(item->GetLength(), 0u);
        EXPECT_EQ(item->GetError(), expected);
        EXPECT_TRUE(item->IsSelected()) << "the item is still made";
    }
}

TEST_F(ItemTest, IconIndexComesFromTheInstalledProvider) {
    struct Provider : CQmFileIconProvider {
        int32_t GetFileIconIndex(std::u16string_view path) override {
            seen.assign(path);
            return 7;
        }
        std::u16string seen;
    } provider;
    SetFileIconProvider(&provider);
    auto item = CQmQuorviaItem::CreateItem(u"/x/y.png", 1, 1);
    SetFileIconProvider(nullptr);
    EXPECT_EQ(item->GetIconIndex(), 7);
    EXPECT_EQ(provider.seen, u"/x/y.png");
    EXPECT_EQ(CQmQuorviaItem::CreateItem(u"/x/y.png", 1, 1)->GetIconIndex(), -1);
}

TEST_F(ItemTest, OpenOfAGrownFileRaisesTheTotalsAndMarksTheItemChanged) {
    const auto file = dir_.Write("grow.bin", "0123456789");
    CQmQuorviaDoc& doc = GetQuorviaDoc();
    auto owned = CQmQuorviaItem::CreateItem(U16(file), kUnknownFileSize, 0);
    CQmQuorviaItem* item = owned.get();
    doc.AppendItem(std::move(owned));
    doc.SetTotalBytes(10);
    doc.SetFileCount(1);
    doc.RecountSelectedBytes();

    dir_.Write("grow.bin", "0123456789ABCDEFGHIJ");
    ASSERT_NE(item->Open(), kInvalidHandle);
    item->CloseFile();
    EXPECT_EQ(item->GetLength(), 20u);
    EXPECT_TRUE(item->IsChanged());
    EXPECT_EQ(doc.GetTotalBytes(), 20u);
    EXPECT_EQ(doc.GetSelectedBytes(), 20u);

    // Shrinking lowers them again; an unselected item leaves selected bytes.
    item->SetChanged(false);
    item->SetSelected(false);
    dir_.Write("grow.bin", "01234");
    ASSERT_NE(item->Open(), kInvalidHandle);
    item->CloseFile();
    EXPECT_EQ(doc.GetTotalBytes(), 5u);
    EXPECT_EQ(doc.GetSelectedBytes(), 20u);
}

TEST_F(ItemTest, OpenNoticesANewModificationTime) {
    const auto file = dir_.Write("t.bin", "abc");
    SetMTime(file, 1'000'000'000);
    auto item = CQmQuorviaItem::CreateItem(U16(file), kUnknownFileSize, 0);
    ASSERT_NE(item->Open(), kInvalidHandle);
    item->CloseFile();
    EXPECT_FALSE(item->IsChanged()) << "nothing differs yet";

    SetMTime(file, 1'500'000'000);
    ASSERT_NE(item->Open(), kInvalidHandle);
    item->CloseFile();
    EXPECT_TRUE(item->IsChanged());
    EXPECT_EQ(item->GetLastWriteTime(), MTimeOf(file));
    EXPECT_EQ(item->GetLength(), 3u);
}

TEST_F(ItemTest, FailedOpenKeepsTheKnownLength) {
    const auto file = dir_.Write("v.bin", "12345678");
    auto item = CQmQuorviaItem::CreateItem(U16(file), kUnknownFileSize, 0);
    std::filesystem::remove(file);
    EXPECT_EQ(item->Open(), kInvalidHandle);
    EXPECT_EQ(item->GetLength(), 8u) << "the hasher counts the unread bytes from it";
    EXPECT_EQ(item->GetError(), u"打开文件失败:" + SystemText(os::kErrorNotFound));
    EXPECT_TRUE(item->IsProcessed());
    EXPECT_FALSE(item->IsChanged());
}

TEST_F(ItemTest, VerifyModeStoresIntoTheVerificationHash) {
    CQmQuorviaItem item(u"/f");
    const std::vector<uint8_t> stored(20, 0x11), fresh(20, 0x22);
    ASSERT_TRUE(item.SetHash(stored.data(), 20, QM_HASH_SHA1));

    GetQuorviaDoc().SetVerifyMode(true);
    ASSERT_TRUE(item.SetHash(stored.data(), 20, QM_HASH_SHA1));
    EXPECT_TRUE(item.VerifyMatches(20));
    item.SetUpdated(false);
    ASSERT_TRUE(item.SetHash(fresh.data(), 20, QM_HASH_SHA1));
    EXPECT_TRUE(item.IsUpdated());
    EXPECT_FALSE(item.VerifyMatches(20));
    EXPECT_EQ(item.GetHash()[0], 0x11) << "the stored hash stays";
    EXPECT_EQ(item.GetVerifyHash()[19], 0x22);
    EXPECT_TRUE(item.HasHash());

    const std::vector<uint8_t> tooLong(65, 0x33);
    EXPECT_FALSE(item.SetHash(tooLong.data(), 65, QM_HASH_SHA1));
    EXPECT_EQ(GetLastErrorText(), u"设置哈希值失败:缓冲区长度不足。");
    EXPECT_EQ(item.GetVerifyHash()[0], 0x22);
}

TEST_F(ItemTest, HashTextIsAlwaysTheStoredHash) {
    CQmQuorviaItem item(u"/f");
    // A list opened after a verification run: its hashes are still the
    // stored ones, not verification results.
    GetQuorviaDoc().SetVerifyMode(true);
    ASSERT_TRUE(item.SetHashText(u"1A2B3C4D", QM_HASH_CRC32));
    EXPECT_TRUE(item.HasHash());
    EXPECT_EQ(std::vector<uint8_t>(item.GetHash(), item.GetHash() + 4), (std::vector<uint8_t>{0x4D, 0x3C, 0x2B, 0x1A}));
    EXPECT_EQ(item.GetVerifyHash()[0], 0);

    ASSERT_TRUE(item.SetHashText(u"00ff10", QM_HASH_MD5));
    EXPECT_EQ(item.GetHash()[1], 0xFF);
    EXPECT_FALSE(item.SetHashText(u"", QM_HASH_MD5));
}

}  // namespace
}  // namespace qm
