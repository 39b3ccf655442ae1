// The hash document: settings, task set-up, the item array and its totals,
// the 115 link, and the publishing of results between threads.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "common/app_info.h"
#include "common/error_record.h"
#include "common/settings_store.h"
#include "document/quorvia_doc.h"
#include "engines/hash_catalog.h"
#include "engines/hash_object.h"
#include "engines/register_engines.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

QuorviaItemPtr MakeItem(std::u16string path, uint64_t length, bool hashed = false) {
    auto item = CQmQuorviaItem::CreateItem(path, length, 1);
    if (hashed) {
        const uint8_t digest[20] = {0xAB};
        item->SetHash(digest, 20, QM_HASH_SHA1);
    }
    return item;
}

// A document with items "/r/0" .. "/r/<n-1>" of lengths 1, 2, 4, ...
struct Filled {
    explicit Filled(size_t n) {
        std::vector<QuorviaItemPtr> batch;
        for (size_t i = 0; i < n; ++i) {
            batch.push_back(MakeItem(u"/r/" + std::u16string(1, char16_t(u'0' + i)), uint64_t{1} << i));
            items.push_back(batch.back().get());
        }
        doc.AppendItems(batch);
        EXPECT_TRUE(batch.empty());
        doc.SetFileCount(n);
        doc.SetTotalBytes((uint64_t{1} << n) - 1);
        doc.RecountSelectedBytes();
    }
    CQmQuorviaDoc doc;
    std::vector<CQmQuorviaItem*> items;
};

#if defined(_WIN32)
// Points the settings store at a registry key of the test's own, removed
// before and after: "SOFTWARE\<company>\Quorvia Test <test name>". The name
// is the same in a death test's child, which writes there too.
class DocumentSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::u16string path = GetAppInfo().GetSettingsKeyPath(nullptr);
        savedProduct_ = path.substr(path.rfind(u'\\') + 1);
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        const std::u16string product = u"Quorvia Test " + std::u16string(name.begin(), name.end());
        GetAppInfo().SetNames(nullptr, product.c_str(), nullptr);
        DeleteKey();
    }
    void TearDown() override {
        DeleteKey();
        GetAppInfo().SetNames(nullptr, savedProduct_.c_str(), nullptr);
    }
    static void DeleteKey() {
        const std::u16string path = GetAppInfo().GetSettingsKeyPath(nullptr);
        RegDeleteTreeW(HKEY_CURRENT_USER, reinterpret_cast<const wchar_t*>(path.c_str()));
    }
#else
// Points the settings store at a directory of the test's own.
class DocumentSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        saved_ = old ? old : "";
        setenv("XDG_CONFIG_HOME", dir_.path().string().c_str(), 1);
    }
    void TearDown() override { setenv("XDG_CONFIG_HOME", saved_.c_str(), 1); }
#endif

    int32_t StoredAlgorithm() {
        auto key = GetAppInfo().OpenSettingsKey(nullptr, KEY_READ);
        int32_t stored = -1;
        if (key) ReadRegistryValue(*key, u"HashAlg", stored);
        return stored;
    }

    test::TempDir dir_;
    std::string saved_;
#if defined(_WIN32)
    std::u16string savedProduct_;
#endif
};

TEST_F(DocumentSettingsTest, AlgorithmComesFromAndGoesToTheSettingsStore) {
    {
        CQmQuorviaDoc doc;  // a first run: nothing stored
        EXPECT_EQ(doc.GetAlgorithm(), QM_HASH_SHA1);
        EXPECT_TRUE(doc.GetIncludeSubdirs());
        EXPECT_EQ(doc.GetTitle(), u"未命名");
        EXPECT_FALSE(doc.IsModified());
        EXPECT_EQ(StoredAlgorithm(), -1) << "constructing stores nothing";
        doc.SetAlgorithm(QM_HASH_115);
    }
    EXPECT_EQ(StoredAlgorithm(), QM_HASH_115);
    CQmQuorviaDoc next;
    EXPECT_EQ(next.GetAlgorithm(), QM_HASH_115);
    next.SetAlgorithm(6);
    {
        CQmQuorviaDoc unchecked;  // never asks the catalogue
        EXPECT_EQ(unchecked.GetAlgorithm(), QM_HASH_115);
    }
}

TEST_F(DocumentSettingsTest, SettingsFailuresDoNotReplaceTheCallersError) {
    // A configuration home below a regular file can be neither read nor
    // created; a failed list load destroys its temporary document right
    // before its own reason is shown.
    setenv("XDG_CONFIG_HOME", dir_.Write("file", "x").string().c_str(), 1);
    SetErrorText(0, u"不支持的算法类型。");
    { CQmQuorviaDoc doc; }
    EXPECT_EQ(GetLastErrorText(), u"不支持的算法类型。");
}

TEST_F(DocumentSettingsTest, ProcessWideDocumentEndsCleanlyAtExit) {
    // It writes its setting after the main thread's thread-local data is
    // gone; a failing write must not touch the error record then.
    const std::string blocked = dir_.Write("file", "x").string();
    EXPECT_EXIT(
        {
            setenv("XDG_CONFIG_HOME", blocked.c_str(), 1);
            GetQuorviaDoc().SetAlgorithm(QM_HASH_MD5);
            SetErrorText(0, u"x");
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            GetQuorviaDoc().SetAlgorithm(QM_HASH_MD5);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EQ(StoredAlgorithm(), QM_HASH_MD5) << "the exit wrote the setting";
}

TEST(DocumentTest, TitleIsTheListNameWithoutExtension) {
    CQmQuorviaDoc doc;
    doc.SetListPath(u"/lists/photos.sha1");
    EXPECT_EQ(doc.GetTitle(), u"photos");
    doc.SetListPath(u"/lists/archive.2019.md5");
    EXPECT_EQ(doc.GetTitle(), u"archive.2019");
    doc.Clear();
    EXPECT_EQ(doc.GetTitle(), u"未命名");
}

TEST(DocumentTest, BeginTaskTakesTheDigestSizeFromTheEngine) {
    RegisterBuiltInEngines();
    CQmQuorviaDoc doc;
    doc.SetListPath(u"/l.txt");
    ASSERT_TRUE(doc.BeginTask(u"/data", QM_HASH_MD5, false));
    EXPECT_EQ(doc.GetAlgorithm(), QM_HASH_MD5);
    EXPECT_EQ(doc.GetDigestSize(), 16);
    EXPECT_EQ(doc.GetRootDir(), u"/data");
    EXPECT_FALSE(doc.GetIncludeSubdirs());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_FALSE(doc.HasListPath());

    // An unknown algorithm fails; the first changes stay, the rest do not.
    doc.Clear();
    doc.SetListPath(u"/l.txt");
    EXPECT_FALSE(doc.BeginTask(u"/other", 6, true));
    EXPECT_EQ(GetLastErrorText(), u"创建对象实列失败:不支持的类ID.");
    EXPECT_FALSE(doc.HasListPath());
    EXPECT_TRUE(doc.GetIncludeSubdirs());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetAlgorithm(), QM_HASH_MD5);
    EXPECT_EQ(doc.GetRootDir(), u"/data");
    doc.SetAlgorithm(QM_HASH_SHA1);
}

TEST(DocumentTest, ClearKeepsTheTaskSettings) {
    Filled f(3);
    f.doc.SetRootDir(u"/r");
    f.doc.SetVerifyMode(true);
    f.doc.SetModified(true);
    f.doc.SetListPath(u"/r/l.txt");
    f.doc.Clear();
    EXPECT_EQ(f.doc.GetItemCount(), 0u);
    EXPECT_EQ(f.doc.GetFileCount(), 0u);
    EXPECT_EQ(f.doc.GetTotalBytes(), 0u);
    EXPECT_FALSE(f.doc.IsModified());
    EXPECT_FALSE(f.doc.HasListPath());
    EXPECT_EQ(f.doc.GetSelectedBytes(), 7u);
    EXPECT_TRUE(f.doc.IsVerifyMode());
    EXPECT_EQ(f.doc.GetRootDir(), u"/r");
}

TEST(DocumentTest, RemoveItemAdjustsCountAndTotalButNotSelectedBytes) {
    Filled f(3);
    auto stranger = MakeItem(u"/elsewhere", 100);
    EXPECT_FALSE(f.doc.RemoveItem(stranger.get()));
    EXPECT_FALSE(f.doc.IsModified());
    EXPECT_EQ(f.doc.GetFileCount(), 3u);

    ASSERT_TRUE(f.doc.RemoveItem(f.items[1]));
    EXPECT_EQ(f.doc.GetFileCount(), 2u);
    EXPECT_EQ(f.doc.GetTotalBytes(), 5u);
    EXPECT_EQ(f.doc.GetSelectedBytes(), 7u);
    EXPECT_TRUE(f.doc.IsModified());
    EXPECT_EQ(f.doc.GetItemAt(0), f.items[0]);
    EXPECT_EQ(f.doc.GetItemAt(1), f.items[2]) << "later items move up";
    EXPECT_EQ(f.doc.GetItemAt(2), nullptr);
}

TEST(DocumentTest, RemoveItemsTakesManyInOnePassAndPassesOverStrangers) {
    Filled f(6);  // lengths 1, 2, 4, 8, 16, 32
    auto stranger = MakeItem(u"/elsewhere", 100);
    const std::vector<const CQmQuorviaItem*> doomed = {f.items[4], f.items[1], stranger.get(), f.items[1],
                                                       f.items[2], nullptr};
    EXPECT_EQ(f.doc.RemoveItems(doomed), 3u);
    EXPECT_EQ(f.doc.GetFileCount(), 3u);
    EXPECT_EQ(f.doc.GetTotalBytes(), 1u + 8 + 32);
    EXPECT_TRUE(f.doc.IsModified());
    EXPECT_EQ(f.doc.GetItemAt(0), f.items[0]);
    EXPECT_EQ(f.doc.GetItemAt(1), f.items[3]) << "the others keep their order";
    EXPECT_EQ(f.doc.GetItemAt(2), f.items[5]);
    EXPECT_EQ(f.doc.GetItemCount(), 3u);
}

TEST(DocumentTest, GetItemsReadsInShortBatchesAtTheEnd) {
    Filled f(5);
    CQmQuorviaItem* out[3] = {};
    EXPECT_EQ(f.doc.GetItems(0, out), 3u);
    EXPECT_EQ(out[2], f.items[2]);
    EXPECT_EQ(f.doc.GetItems(3, out), 2u);
    EXPECT_EQ(out[1], f.items[4]);
    EXPECT_EQ(f.doc.GetItems(5, out), 0u);
    EXPECT_EQ(f.doc.GetItems(99, out), 0u);
}

TEST(DocumentTest, ReplaceItemsAcceptsOnlyAPermutationOfItsOwnItems) {
    Filled f(3);
    std::vector<CQmQuorviaItem*> reversed = {f.items[2], f.items[1], f.items[0]};
    ASSERT_TRUE(f.doc.ReplaceItems(reversed));
    EXPECT_EQ(f.doc.GetItemAt(0), f.items[2]);
    EXPECT_EQ(f.doc.GetItemAt(2), f.items[0]);

    auto stranger = MakeItem(u"/x", 1);
    const std::vector<std::vector<CQmQuorviaItem*>> refused = {
        {f.items[0], f.items[1]},                 // one missing
        {f.items[0], f.items[0], f.items[1]},     // one twice
        {f.items[0], f.items[1], stranger.get()}, // a foreign item
        {f.items[0], f.items[1], nullptr},
    };
    for (const auto& order : refused) {
        EXPECT_FALSE(f.doc.ReplaceItems(order));
        EXPECT_EQ(f.doc.GetItemAt(0), f.items[2]) << "nothing changed";
        EXPECT_EQ(f.doc.GetItemCount(), 3u);
    }

    // Places that tell where each item stands now; wrong ones are only a
    // missed shortcut, never a reason to accept a wrong order.
    const std::vector<uint32_t> right = {2, 1, 0};  // items 0, 1, 2 stand at 2, 1, 0
    ASSERT_TRUE(f.doc.ReplaceItems(std::vector<CQmQuorviaItem*>{f.items[0], f.items[1], f.items[2]}, right));
    EXPECT_EQ(f.doc.GetItemAt(0), f.items[0]);
    EXPECT_EQ(f.doc.GetItemAt(2), f.items[2]);
    const std::vector<uint32_t> wrong = {0, 0, 7};
    ASSERT_TRUE(f.doc.ReplaceItems(std::vector<CQmQuorviaItem*>{f.items[1], f.items[2], f.items[0]}, wrong));
    EXPECT_EQ(f.doc.GetItemAt(0), f.items[1]);
    EXPECT_EQ(f.doc.GetItemAt(2), f.items[0]);
    const std::vector<uint32_t> plausible = {0, 0, 1};
    EXPECT_FALSE(f.doc.ReplaceItems(std::vector<CQmQuorviaItem*>{f.items[1], f.items[1], f.items[2]}, plausible));
    EXPECT_FALSE(f.doc.ReplaceItems(std::vector<CQmQuorviaItem*>{f.items[1], f.items[2]}, plausible));
    EXPECT_EQ(f.doc.GetItemAt(0), f.items[1]) << "nothing changed";
}

TEST(DocumentTest, SelectionAndHashedChecks) {
    CQmQuorviaDoc doc;
    doc.AppendItem(MakeItem(u"/a", 10, true));
    doc.AppendItem(MakeItem(u"/b", 20));
    CQmQuorviaItem* unhashed = doc.GetItemAt(1);

    EXPECT_FALSE(doc.AreAllHashed(false));
    EXPECT_FALSE(doc.AreAllHashed(true));
    unhashed->SetSelected(false);
    EXPECT_TRUE(doc.AreAllHashed(true)) << "unselected items are skipped";
    EXPECT_FALSE(doc.AreAllHashed(false));

    doc.SelectAll(true, true);
    EXPECT_TRUE(doc.GetItemAt(0)->IsSelected());
    EXPECT_FALSE(unhashed->IsSelected());
    EXPECT_EQ(doc.RecountSelectedBytes(), 10u);
    doc.SelectAll(true, false);
    EXPECT_EQ(doc.RecountSelectedBytes(), 30u);
    doc.SelectAll(false, true);
    EXPECT_EQ(doc.RecountSelectedBytes(), 0u);

    CQmQuorviaDoc none;
    none.AppendItem(MakeItem(u"/c", 5));
    none.SelectAll(true, true);
    EXPECT_FALSE(none.GetItemAt(0)->IsSelected());
    EXPECT_EQ(none.RecountSelectedBytes(), 0u);
}

TEST(DocumentTest, AdjustTotalsTakesAnUnsignedDifference) {
    Filled f(2);  // lengths 1 and 2, both selected
    f.doc.AdjustTotals(f.items[0], uint64_t{0} - 10);  // grew by 10
    EXPECT_EQ(f.doc.GetTotalBytes(), 13u);
    EXPECT_EQ(f.doc.GetSelectedBytes(), 13u);
    f.items[1]->SetSelected(false);
    f.doc.AdjustTotals(f.items[1], 2);
    EXPECT_EQ(f.doc.GetTotalBytes(), 11u);
    EXPECT_EQ(f.doc.GetSelectedBytes(), 13u);
}

TEST(DocumentTest, ResetStatesAndClearErrorsPrepareAVerification) {
    Filled f(2);
    for (CQmQuorviaItem* item : f.items) {
        item->SetReading(true);
        item->SetError(u"读取失败");
        item->SetProcessed(true);
        item->SetUpdated(false);
    }
    f.items[0]->SetReading(true);
    f.doc.ResetItemStates();
    f.doc.ClearItemErrors();
    for (CQmQuorviaItem* item : f.items) {
        EXPECT_FALSE(item->IsReading());
        EXPECT_FALSE(item->IsProcessed());
        EXPECT_TRUE(item->GetError().empty());
        EXPECT_TRUE(item->IsUpdated());
    }
}

TEST(DocumentTest, TakeItemsMovesTheItemsOut) {
    Filled f(3);
    std::vector<QuorviaItemPtr> taken = f.doc.TakeItems();
    ASSERT_EQ(taken.size(), 3u);
    EXPECT_EQ(taken[2].get(), f.items[2]);
    EXPECT_EQ(f.doc.GetItemCount(), 0u);
    CQmQuorviaDoc other;
    other.AppendItems(taken);
    EXPECT_EQ(other.GetItemAt(1), f.items[1]);
}

class Link115Test : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterBuiltInEngines();
        doc_.SetAlgorithm(QM_HASH_115);
        doc_.SetDigestSize(40);
        doc_.SetRootDir(u"/data");
    }
    void TearDown() override { doc_.SetAlgorithm(QM_HASH_SHA1); }

    std::u16string LinkOf(std::u16string path) {
        auto item = MakeItem(std::move(path), 1234);
        uint8_t digest[40];
        for (int i = 0; i < 40; ++i) digest[i] = static_cast<uint8_t>(i < 20 ? 0xAA : 0x0B);
        item->SetHash(digest, 40, QM_HASH_115);
        return doc_.GetLink115(item.get());
    }

    const std::u16string hash_ = std::u16string(40, u'A') + u"|" + u"0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B";
    CQmQuorviaDoc doc_;
};

TEST_F(Link115Test, DirectoriesBelowTheRootFollowTheHash) {
    EXPECT_EQ(LinkOf(u"/data/photos/2019/a.jpg"), u"115://a.jpg|1234|" + hash_ + u"|photos|2019");
    EXPECT_EQ(LinkOf(u"/data/a.jpg"), u"115://a.jpg|1234|" + hash_);
    EXPECT_EQ(LinkOf(u"/data/x//y/a.jpg"), u"115://a.jpg|1234|" + hash_ + u"|x|y") << "empty parts are left out";
    doc_.SetRootDir(u"/data/");
    EXPECT_EQ(LinkOf(u"/data/photos/a.jpg"), u"115://a.jpg|1234|" + hash_ + u"|photos");
}

TEST_F(Link115Test, RootMatchesOnlyWholeComponents) {
    // Compared by characters, "/data" would claim "/database/x/a.jpg" and
    // name the directories "base" and "x".
    EXPECT_EQ(LinkOf(u"/database/x/a.jpg"), u"115://a.jpg|1234|" + hash_);
    EXPECT_EQ(LinkOf(u"/other/x/a.jpg"), u"115://a.jpg|1234|" + hash_);
#if defined(_WIN32)
    EXPECT_EQ(LinkOf(u"/Data/x/a.jpg"), u"115://a.jpg|1234|" + hash_ + u"|x") << "names ignore case there";
#else
    EXPECT_EQ(LinkOf(u"/Data/x/a.jpg"), u"115://a.jpg|1234|" + hash_) << "names differing in case differ";
#endif
}

TEST_F(Link115Test, NoLinkWithoutAStoredHash) {
    auto item = MakeItem(u"/data/a.jpg", 5);
    EXPECT_EQ(doc_.GetLink115(item.get()), u"");
}

// The enumeration appends while the list view reads; a hasher publishes
// results while the view polls them. Run under ThreadSanitizer these catch a
// missing lock or a result that becomes visible before its data.
TEST(DocumentThreadsTest, AppendWhileReadingAndPublishWhilePolling) {
    CQmQuorviaDoc doc;
    constexpr size_t kBatches = 50, kPerBatch = 20;
    std::thread producer([&] {
        std::vector<QuorviaItemPtr> batch;
        for (size_t b = 0; b < kBatches; ++b) {
            for (size_t i = 0; i < kPerBatch; ++i) batch.push_back(MakeItem(u"/t/f", i));
            doc.AppendItems(batch);
        }
    });
    size_t seen = 0;
    CQmQuorviaItem* buffer[100];
    while (seen < kBatches * kPerBatch) {
        const size_t n = doc.GetItems(seen, buffer);
        for (size_t i = 0; i < n; ++i) EXPECT_EQ(buffer[i]->GetPath(), u"/t/f");
        seen += n;
    }
    producer.join();

    std::vector<CQmQuorviaItem*> items(seen);
    doc.GetItems(0, items);
    std::thread hasher([&] {
        uint8_t digest[20];
        for (size_t i = 0; i < items.size(); ++i) {
            for (uint8_t& b : digest) b = static_cast<uint8_t>(i);
            if (i % 3 == 0) items[i]->SetError(u"读取失败");
            items[i]->SetHash(digest, 20, QM_HASH_SHA1);
            items[i]->SetProcessed(true);
        }
    });
    size_t done = 0;
    std::vector<bool> checked(items.size(), false);
    while (done < items.size()) {
        for (size_t i = 0; i < items.size(); ++i) {
            if (checked[i] || !items[i]->IsProcessed()) continue;
            EXPECT_EQ(items[i]->GetHash()[19], static_cast<uint8_t>(i));
            EXPECT_EQ(items[i]->GetError().empty(), i % 3 != 0);
            checked[i] = true;
            ++done;
        }
    }
    hasher.join();
}

}  // namespace
}  // namespace qm
