// The file list's behaviour without a window: the add and update ticks over
// the process-wide document, the end of the enumeration, verification,
// emptying the list and removing rows while a tick runs, and the item
// commands' choices. Ticks are run directly, never by waiting for a timer.
#include "desktop/file_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/formatting.h"
#include "desktop/command_ids.h"
#include "desktop/fake_list_host.h"
#include "desktop/fake_prompts.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "document/verify_summary.h"
#include "engines/hash_object.h"
#include "engines/register_engines.h"

namespace qm {
namespace {

using test::FakeListHost;
using test::FakePrompts;

CQmQuorviaDoc& Doc() { return GetQuorviaDoc(); }

std::u16string Number(int value) {
    std::u16string text;
    do {
        text.insert(text.begin(), static_cast<char16_t>(u'0' + value % 10));
        value /= 10;
    } while (value > 0);
    return text;
}

// What the hasher does when it finished an item.
void Finish(CQmQuorviaItem* item, uint8_t first) {
    uint8_t digest[16] = {first};
    item->SetHash(digest, sizeof digest, 4);
    item->SetProcessed(true);
    item->SetUpdated(true);
}

std::u16string HashText(uint8_t first) {
    const char16_t* digits = u"0123456789ABCDEF";
    return std::u16string{digits[first >> 4], digits[first & 15]} + std::u16string(30, u'0');
}

class FileListTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterBuiltInEngines(); }

    void SetUp() override {
        Doc().Clear();
        Doc().SetVerifyMode(false);
        ASSERT_TRUE(Doc().BeginTask(u"/", QM_HASH_MD5, true));
    }
    void TearDown() override {
        list_.Clear();
        Doc().Clear();
        Doc().SetVerifyMode(false);
        Doc().SetBusy(false);
    }

    CQmQuorviaItem* Add(std::u16string path, uint64_t size = 100) {
        auto item = CQmQuorviaItem::CreateItem(path, size, 133000000000000000ull);
        CQmQuorviaItem* raw = item.get();
        Doc().AppendItem(std::move(item));
        return raw;
    }
    CQmListModel& Model() { return list_.GetModel(); }
    std::u16string Text(const CQmQuorviaItem* item, int column) { return Model().CellText(item, column); }
    // A new task's list as the frame shows it: all items in, sorted, and the
    // update tick running.
    void ShowAll() {
        list_.BeginAddItems();
        list_.EndAddItems();
        list_.BeginHashUpdates();
    }

    FakePrompts prompts_;
    FakeListHost host_;
    CQmFileList list_{Doc(), host_};
};

// A tick whose budget is spent hands the rest to a slice run from the event
// loop, so every item still goes in before the next tick; the end of the
// enumeration takes in everything at once whatever the budget.
TEST_F(FileListTest, AnAddTickOverItsBudgetFinishesInSlices) {
    list_.SetAddTickBudget(std::chrono::milliseconds(0));
    list_.BeginAddItems();
    EXPECT_TRUE(host_.Running(kAddTimerId));
    for (int i = 0; i < 250; ++i) Add(u"/slices/f" + Number(i));
    list_.RunAddTick();
    EXPECT_EQ(list_.GetItemCount(), 100u) << "one batch, then the budget is spent";
    EXPECT_TRUE(host_.slicePending);
    for (int i = 0; i < 10 && host_.slicePending; ++i) list_.RunAddTick();
    EXPECT_EQ(list_.GetItemCount(), 250u);
    EXPECT_FALSE(host_.slicePending);

    for (int i = 0; i < 250; ++i) Add(u"/slices/g" + Number(i));
    list_.RunAddTick();
    list_.EndAddItems();
    EXPECT_EQ(list_.GetItemCount(), 500u);
    EXPECT_FALSE(host_.slicePending) << "no slice left running after the end";
    EXPECT_EQ(Doc().GetItemAt(0), Model().ItemAt({0, 0}));

    // A new task drops a pending slice with the old rows.
    list_.BeginAddItems();
    for (int i = 0; i < 250; ++i) Add(u"/slices/h" + Number(i));
    list_.RunAddTick();
    list_.Clear();
    EXPECT_FALSE(host_.slicePending);
    EXPECT_EQ(list_.GetItemCount(), 0u);
}

// The enumeration's end takes in what is left in slices as well, then sorts,
// hands the order to the document, starts the update tick and tells the
// frame; with little left it is all done at once.
TEST_F(FileListTest, TheEnumerationsEndTakesInTheRestInSlicesThenSorts) {
    list_.SetAddTickBudget(std::chrono::milliseconds(0));
    list_.BeginAddItems();
    for (int i = 0; i < 250; ++i) Add(u"/end/f" + Number(249 - i));
    EXPECT_FALSE(list_.FinishAddItems());
    EXPECT_TRUE(list_.IsFinishingAdd());
    EXPECT_FALSE(host_.Running(kAddTimerId));
    EXPECT_EQ(list_.GetItemCount(), 100u);
    EXPECT_EQ(Model().GetSortColumn(), -1) << "nothing is sorted before every row is in";
    for (int i = 0; i < 10 && host_.slicePending; ++i) list_.RunAddTick();
    EXPECT_FALSE(list_.IsFinishingAdd());
    EXPECT_EQ(host_.listReadyPosts, 1);
    EXPECT_EQ(list_.GetItemCount(), 250u);
    EXPECT_TRUE(host_.Running(kUpdateTimerId));
    EXPECT_EQ(Model().RowText({0, 0}, 0), u"f0");
    EXPECT_EQ(Doc().GetItemAt(0), Model().ItemAt({0, 0})) << "the document takes the order shown";
    EXPECT_EQ(prompts_.waitCursorDepth, 0);

    list_.SetAddTickBudget(std::chrono::milliseconds(1000));
    list_.BeginAddItems();
    EXPECT_TRUE(list_.FinishAddItems());
    EXPECT_EQ(host_.listReadyPosts, 1) << "done at once: the frame goes on without a post";
}

TEST_F(FileListTest, OneAddTickTakesInEveryWaitingItemInBatches) {
    list_.BeginAddItems();
    EXPECT_EQ(Model().GetHashTitle(), u"MD5");
    for (int i = 0; i < 250; ++i) Add(u"/many/f" + Number(i));
    struct Inserted : IQmListObserver {
        std::vector<QmListChange> rows;
        void OnListChanging(const QmListChange&) override {}
        void OnListChanged(const QmListChange& change) override {
            if (change.kind == QmListChange::RowsInserted || change.kind == QmListChange::GroupsInserted) {
                rows.push_back(change);
            }
        }
    } inserted;
    Model().SetObserver(&inserted);
    list_.RunAddTick();
    EXPECT_EQ(list_.GetItemCount(), 250u);
    ASSERT_EQ(inserted.rows.size(), 4u);  // the group, then rows of 100, 100 and 50
    EXPECT_EQ(inserted.rows[1].last, 99u);
    EXPECT_EQ(inserted.rows[2].first, 100u);
    EXPECT_EQ(inserted.rows[3].first, 200u);
    EXPECT_EQ(inserted.rows[3].last, 249u);
    Model().SetObserver(nullptr);

    Add(u"/later/x");
    list_.RunAddTick();
    EXPECT_EQ(list_.GetItemCount(), 251u);
    EXPECT_EQ(Model().GetGroupCount(), 2u);
    EXPECT_FALSE(Model().IsFolded(1)) << "new groups show open";
    list_.RunAddTick();  // nothing new
    EXPECT_EQ(list_.GetItemCount(), 251u);

    // An algorithm the catalogue does not hold leaves column 3 untitled.
    Doc().SetAlgorithm(12345);
    list_.BeginAddItems();
    EXPECT_EQ(Model().GetHashTitle(), u"");
}

TEST_F(FileListTest, EndAddItemsSortsByNameAndTheDocumentFollows) {
    CQmQuorviaItem* b = Add(u"/p/b.txt");
    CQmQuorviaItem* z = Add(u"/q/z");
    CQmQuorviaItem* ten = Add(u"/p/10.txt");
    CQmQuorviaItem* nine = Add(u"/p/9.txt");
    CQmQuorviaItem* a = Add(u"/q/A");
    list_.BeginAddItems();
    list_.EndAddItems();

    const std::vector<CQmQuorviaItem*> expected = {nine, ten, b, a, z};
    EXPECT_EQ(Model().ItemsInRowOrder(), expected);
    std::vector<CQmQuorviaItem*> document(Doc().GetItemCount());
    Doc().GetItems(0, document);
    EXPECT_EQ(document, expected);
    EXPECT_EQ(Model().GetSortColumn(), QM_COLUMN_NAME);
    EXPECT_TRUE(Model().IsSortAscending());
    EXPECT_FALSE(host_.Running(kAddTimerId));
    EXPECT_TRUE(host_.Running(kUpdateTimerId));
    EXPECT_GE(prompts_.waitCursorShown, 1);
    EXPECT_EQ(prompts_.waitCursorDepth, 0);
}

TEST_F(FileListTest, UpdateTickHaltsAtTheFirstUnfinishedParticipant) {
    CQmQuorviaItem* a = Add(u"/u/a");
    CQmQuorviaItem* b = Add(u"/u/b");
    CQmQuorviaItem* c = Add(u"/u/c");
    CQmQuorviaItem* d = Add(u"/u/d");
    ShowAll();
    b->SetSelected(false);  // takes no part: never halts the tick
    Finish(a, 0x0A);
    c->SetReading(true);
    c->SetUpdated(true);
    Finish(d, 0x0D);

    list_.RunUpdateTick();
    EXPECT_EQ(Text(a, QM_COLUMN_HASH), HashText(0x0A));
    EXPECT_EQ(Text(b, QM_COLUMN_HASH), u"");
    EXPECT_EQ(Text(c, QM_COLUMN_HASH), u"正在计算中...");
    EXPECT_EQ(Text(d, QM_COLUMN_HASH), u"");  // waits for c
    EXPECT_FALSE(c->IsUpdated());

    Finish(c, 0x0C);
    list_.RunUpdateTick();
    EXPECT_EQ(Text(c, QM_COLUMN_HASH), HashText(0x0C));
    EXPECT_EQ(Text(d, QM_COLUMN_HASH), HashText(0x0D));
    EXPECT_EQ(Text(b, QM_COLUMN_HASH), u"");

    list_.EndHashUpdates();
    EXPECT_FALSE(host_.Running(kUpdateTimerId));
}

TEST_F(FileListTest, AResultIsShownWhateverOrderTheFlagsWereSetIn) {
    CQmQuorviaItem* item = Add(u"/o/item");
    ShowAll();
    // The reader announces the item before it marks it as being read.
    item->SetUpdated(true);
    list_.RunUpdateTick();
    EXPECT_EQ(Text(item, QM_COLUMN_HASH), u"");
    item->SetReading(true);
    list_.RunUpdateTick();
    EXPECT_EQ(Text(item, QM_COLUMN_HASH), u"正在计算中...");
    // The tick may see processed before the hasher sets updated again.
    uint8_t digest[16] = {0x55};
    item->SetHash(digest, sizeof digest, 4);
    item->SetUpdated(false);
    item->SetProcessed(true);
    list_.RunUpdateTick();
    EXPECT_EQ(Text(item, QM_COLUMN_HASH), HashText(0x55));
}

TEST_F(FileListTest, ChangedSizeRewritesItsCellsAndAsksForNewTotals) {
    Add(u"/c/first");
    CQmQuorviaItem* item = Add(u"/c/second", 100);
    ShowAll();
    Finish(Doc().GetItemAt(0), 1);
    item->SetRange(std::nullopt, kKeepRangeValue, 5000);  // the reader's Open saw a new size
    item->SetChanged(true);
    Finish(item, 2);
    list_.RunUpdateTick();

    EXPECT_EQ(host_.totalsPosts, 1);
    EXPECT_FALSE(item->IsChanged());
    EXPECT_EQ(Text(item, QM_COLUMN_SIZE), StrFormatByteSize(5000));
    list_.RunUpdateTick();  // nothing changed since
    EXPECT_EQ(host_.totalsPosts, 1);
}

TEST_F(FileListTest, VerificationWritesColumnFourAndKeepsTheStoredHash) {
    CQmQuorviaItem* same = Add(u"/v/same");
    CQmQuorviaItem* other = Add(u"/v/other");
    CQmQuorviaItem* failed = Add(u"/v/zfailed");
    ShowAll();
    Finish(same, 0x11);
    Finish(other, 0x22);
    failed->SetError(u"读取失败");
    failed->SetProcessed(true);
    list_.EndHashUpdates();
    EXPECT_EQ(Text(failed, QM_COLUMN_HASH), u"读取失败");

    // The frame's verification pass over the items with a stored hash.
    Doc().ResetItemStates();
    Doc().ClearItemErrors();
    Doc().SetVerifyMode(true);
    Doc().SelectAll(true, true);
    EXPECT_FALSE(failed->IsSelected());
    list_.BeginHashUpdates();
    Finish(same, 0x11);  // goes to the verification hash in verify mode
    Finish(other, 0x99);
    list_.EndHashUpdates();

    EXPECT_EQ(Text(same, QM_COLUMN_VERIFY), u"文件检查正确");
    EXPECT_EQ(Text(other, QM_COLUMN_VERIFY), u"新文件HASH值:" + HashText(0x99));
    EXPECT_EQ(Text(same, QM_COLUMN_HASH), HashText(0x11));
    EXPECT_EQ(Text(other, QM_COLUMN_HASH), HashText(0x22));
    EXPECT_EQ(Text(failed, QM_COLUMN_HASH), u"读取失败");
    EXPECT_EQ(Text(failed, QM_COLUMN_VERIFY), u"");

    // The next pass starts with empty verification cells for its items.
    Doc().ResetItemStates();
    other->SetSelected(false);
    list_.BeginHashUpdates();
    EXPECT_EQ(Text(same, QM_COLUMN_VERIFY), u"");
    EXPECT_EQ(Text(other, QM_COLUMN_VERIFY), u"新文件HASH值:" + HashText(0x99));
}

TEST_F(FileListTest, NoRowOutlivesTheDocumentsItems) {
    Add(u"/e/one");
    Add(u"/e/two");
    ShowAll();
    list_.OnCommand(ID_EDIT_SELECT_ALL);
    // A failed load empties the document; the frame then empties the list.
    Doc().Clear();
    list_.Clear();
    EXPECT_EQ(list_.GetItemCount(), 0u);
    EXPECT_EQ(Model().GetGroupCount(), 0u);
    EXPECT_TRUE(Model().GetSelectedItems().empty());
    EXPECT_FALSE(host_.Running(kAddTimerId));
    EXPECT_FALSE(host_.Running(kUpdateTimerId));

    Add(u"/e/three");
    ShowAll();
    Doc().Clear();
    list_.BeginAddItems();
    list_.EndAddItems();
    EXPECT_EQ(list_.GetItemCount(), 0u);
}

TEST_F(FileListTest, ASecondTaskShowsOnlyItsOwnFiles) {
    for (int task = 0; task < 2; ++task) {
        if (task == 1) {
            Doc().Clear();
            ASSERT_TRUE(Doc().BeginTask(u"/", QM_HASH_SHA1, true));
        }
        list_.BeginAddItems();
        const std::u16string dir = task == 0 ? u"/first/" : u"/second/";
        std::vector<CQmQuorviaItem*> items;
        for (int i = 0; i < 30; ++i) items.push_back(Add(dir + u"f" + Number(29 - i)));
        list_.RunAddTick();
        list_.EndAddItems();
        list_.BeginHashUpdates();
        for (CQmQuorviaItem* item : items) Finish(item, 0x42);
        list_.EndHashUpdates();
        list_.OnCommand(ID_VIEW_COLLAPSE_ALL);
        list_.OnCommand(ID_VIEW_EXPAND_ALL);
        list_.OnColumnClick(QM_COLUMN_HASH);
    }
    ASSERT_EQ(Model().GetGroupCount(), 1u);
    EXPECT_EQ(Model().GetGroupDirectory(0), u"/second");
    EXPECT_EQ(list_.GetItemCount(), 30u);
    EXPECT_EQ(Model().GetHashTitle(), u"SHA1");
}

TEST_F(FileListTest, RemovingAnItemKeepsTheRunningTickOnCourse) {
    CQmQuorviaItem* a = Add(u"/r/a");
    CQmQuorviaItem* b = Add(u"/r/b");
    CQmQuorviaItem* c = Add(u"/r/c");
    ShowAll();
    Finish(a, 1);
    list_.RunUpdateTick();  // halts at b
    ASSERT_EQ(list_.RemoveItems(std::vector<CQmQuorviaItem*>{a}), 1u);
    EXPECT_EQ(list_.GetItemCount(), 2u);
    EXPECT_EQ(Doc().GetItemCount(), 2u);
    Finish(b, 2);
    Finish(c, 3);
    list_.RunUpdateTick();
    EXPECT_EQ(Text(b, QM_COLUMN_HASH), HashText(2));
    EXPECT_EQ(Text(c, QM_COLUMN_HASH), HashText(3));
}

// A header row folds and unfolds its group; a file row is opened with the
// desktop, and a failure shows what the desktop said.
TEST_F(FileListTest, ActivatingAHeaderFoldsAndAFileOpens) {
    CQmQuorviaItem* file = Add(u"/a/file");
    ShowAll();
    list_.OnActivate({0, QmListRow::kHeader});
    EXPECT_TRUE(Model().IsFolded(0));
    list_.OnActivate({0, QmListRow::kHeader});
    EXPECT_FALSE(Model().IsFolded(0));
    EXPECT_TRUE(host_.opened.empty());

    list_.OnActivate({0, 0});
    EXPECT_EQ(host_.opened, (std::vector<std::u16string>{file->GetPath()}));
    EXPECT_TRUE(prompts_.boxes.empty());
    host_.actionsSucceed = false;
    list_.OnActivate({0, 0});
    ASSERT_EQ(prompts_.boxes.size(), 1u);
    EXPECT_EQ(prompts_.boxes[0].text, u"打开文件失败(/a/file)");
    EXPECT_EQ(prompts_.boxes[0].flags & MB_ICONMASK, MB_ICONERROR);
}

// The context menu opens only over selected files; the link entry is there
// for 115 lists only, and verify and remove are grey while a task runs,
// when a removal asks nothing and frees nothing.
TEST_F(FileListTest, TheItemMenuFollowsTheSelectionTheAlgorithmAndTheTask) {
    CQmQuorviaItem* a = Add(u"/m/a");
    Add(u"/m/b");
    ShowAll();
    EXPECT_FALSE(list_.HasItemMenu());
    Model().SetRowSelected(a, true);
    EXPECT_TRUE(list_.HasItemMenu());
    QmItemMenuState state = list_.GetItemMenuState();
    EXPECT_FALSE(state.showLink);
    EXPECT_TRUE(state.verifyEnabled);
    EXPECT_TRUE(state.removeEnabled);
    Doc().SetAlgorithm(QM_HASH_115);
    EXPECT_TRUE(list_.GetItemMenuState().showLink);

    Doc().SetBusy(true);
    state = list_.GetItemMenuState();
    EXPECT_FALSE(state.verifyEnabled);
    EXPECT_FALSE(state.removeEnabled);
    list_.RunItemCommand(ID_ITEM_REMOVE);
    list_.RunItemCommand(ID_ITEM_VERIFY);
    EXPECT_TRUE(prompts_.boxes.empty());
    EXPECT_EQ(Doc().GetItemCount(), 2u);
    EXPECT_TRUE(host_.frameCommands.empty());
}

// F8 goes from the selected row to the next file that is wrong or failed,
// folded groups included, wrapping round; with none it says so.
TEST_F(FileListTest, NextProblemFindsWrongAndFailedFilesInRowOrder) {
    CQmQuorviaItem* ok = Add(u"/p/a-ok");
    CQmQuorviaItem* failed = Add(u"/p/b-failed");
    CQmQuorviaItem* changed = Add(u"/q/c-changed");
    ShowAll();
    list_.OnCommand(ID_EDIT_NEXT_PROBLEM);
    EXPECT_EQ(prompts_.boxes.size(), 1u) << "nothing is finished, so nothing is a problem";
    EXPECT_EQ(prompts_.boxes.back().text, kNoProblemText);

    Finish(ok, 1);
    Finish(changed, 2);
    failed->SetError(u"读取失败");
    failed->SetProcessed(true);
    list_.EndHashUpdates();
    list_.OnCommand(ID_EDIT_NEXT_PROBLEM);
    EXPECT_EQ(Model().GetSelectedItems(), (std::vector<CQmQuorviaItem*>{failed})) << "outside a verification: failed";
    list_.OnCommand(ID_EDIT_NEXT_PROBLEM);
    EXPECT_EQ(Model().GetSelectedItems(), (std::vector<CQmQuorviaItem*>{failed})) << "the only one, found again";

    // A verification in which c changed: b failed again, c is wrong.
    Doc().ResetItemStates();
    Doc().ClearItemErrors();
    Doc().SetVerifyMode(true);
    Doc().SelectAll(true, true);
    failed->SetSelected(true);
    list_.BeginHashUpdates();
    Finish(ok, 1);
    Finish(changed, 9);
    failed->SetError(u"读取失败");
    failed->SetProcessed(true);
    list_.EndHashUpdates();
    list_.OnCommand(ID_VIEW_COLLAPSE_ALL);
    list_.OnCommand(ID_EDIT_NEXT_PROBLEM);
    EXPECT_EQ(Model().GetSelectedItems(), (std::vector<CQmQuorviaItem*>{changed}));
    EXPECT_FALSE(Model().IsFolded(1)) << "the problem's group opens";
    EXPECT_EQ(host_.scrolledTo.back(), changed);
    list_.OnCommand(ID_EDIT_NEXT_PROBLEM);
    EXPECT_EQ(Model().GetSelectedItems(), (std::vector<CQmQuorviaItem*>{failed})) << "from the last row to the first";
    EXPECT_EQ(prompts_.boxes.size(), 1u);
}

// F3 before any search opens the dialog; a search runs over every row in
// row order, folded groups included, unfolds the match's group and leaves
// only it selected; at the end the box says so, owned by the dialog.
TEST_F(FileListTest, FindSearchesEveryRowAndUnfoldsTheMatch) {
    Add(u"/f/alpha");
    CQmQuorviaItem* beta = Add(u"/g/BETA.md5");
    CQmQuorviaItem* gamma = Add(u"/g/gamma");
    ShowAll();
    list_.OnCommand(ID_EDIT_REPEAT);
    EXPECT_EQ(host_.findOpened, 1) << "F3 before a search opens the dialog";
    list_.OnCommand(ID_EDIT_FIND);
    EXPECT_EQ(host_.findRaised, 1) << "an open dialog comes to the front";

    list_.OnCommand(ID_VIEW_COLLAPSE_ALL);
    QmFindSettings settings;
    settings.text = u"md5";
    list_.OnFindDialogNext(settings);
    EXPECT_EQ(Model().GetSelectedItems(), (std::vector<CQmQuorviaItem*>{beta}));
    EXPECT_FALSE(Model().IsFolded(1));
    EXPECT_TRUE(Model().IsFolded(0));
    EXPECT_EQ(host_.scrolledTo.back(), beta);

    settings.text = u"GAMMA";
    settings.matchCase = true;
    list_.OnFindDialogNext(settings);
    ASSERT_EQ(prompts_.boxes.size(), 1u);
    EXPECT_EQ(prompts_.boxes[0].text, kFindFinishedText);
    EXPECT_EQ(prompts_.boxes[0].owner, &host_.findDialogOpen) << "the box is the dialog's";
    EXPECT_EQ(Model().GetSelectedItems(), (std::vector<CQmQuorviaItem*>{beta})) << "a miss keeps the selection";

    list_.OnFindDialogClosed();
    settings.matchCase = false;
    list_.OnFindDialogNext(settings);
    list_.OnCommand(ID_EDIT_REPEAT);  // repeats downwards from gamma: nothing after it
    EXPECT_EQ(Model().GetSelectedItems(), (std::vector<CQmQuorviaItem*>{gamma}));
    ASSERT_EQ(prompts_.boxes.size(), 2u);
    EXPECT_EQ(prompts_.boxes[1].owner, &host_) << "with the dialog closed the list owns the box";
}

}  // namespace
}  // namespace qm
