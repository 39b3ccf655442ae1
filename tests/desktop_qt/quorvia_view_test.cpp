// The file list view over the process-wide document, as Qt shows it: the
// columns, the ticks' rows reaching the tree (slices through the event loop,
// groups opened and spanned), header clicks with their arrow, the tree's
// selection and folds kept as the list's, opening a file, and emptying the
// list. What the list decides is tested without Qt in
// tests/desktop/file_list_test.cpp. Ticks are run directly, never by waiting
// for a timer; a model tester checks every change and aborts on a fault.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "common/formatting.h"
#include "common/user_prompts.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "document/row_order.h"
#include "engines/register_engines.h"
#include "support/temp_dir.h"
#include "desktop_qt/icon_cache.h"
#include "desktop_qt/quorvia_model.h"
#include "desktop_qt/quorvia_view.h"

namespace qm {
namespace {

class FakePrompts : public CQmUserPrompts {
public:
    int MessageBox(const QmMessageBoxRequest& request) override {
        boxes.push_back(request);
        return IDOK;
    }
    bool FileDialog(const QmFileDialogRequest&, QmFileDialogResult&) override { return false; }
    bool FolderDialog(QmWindow, std::u16string_view, std::u16string&) override { return false; }
    void SetWaitCursor(bool on) override {
        depth += on ? 1 : -1;
        if (on) ++shown;
    }

    std::vector<QmMessageBoxRequest> boxes;
    int depth = 0;
    int shown = 0;
};

CQmQuorviaDoc& Doc() { return GetQuorviaDoc(); }

class ViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterBuiltInEngines(); }

    void SetUp() override {
        Doc().Clear();
        Doc().SetVerifyMode(false);
        ASSERT_TRUE(Doc().BeginTask(u"/", 4, true));  // MD5
        SetUserPrompts(&prompts_);
        view_ = std::make_unique<CQuorviaView>();
        tester_ = std::make_unique<QAbstractItemModelTester>(view_->GetModel(),
                                                             QAbstractItemModelTester::FailureReportingMode::Fatal);
    }
    void TearDown() override {
        tester_.reset();
        view_.reset();
        SetUserPrompts(nullptr);
        Doc().Clear();
        Doc().SetVerifyMode(false);
    }

    CQmQuorviaItem* Add(std::u16string path, uint64_t size = 100) {
        auto item = CQmQuorviaItem::CreateItem(path, size, 133000000000000000ull);
        CQmQuorviaItem* raw = item.get();
        Doc().AppendItem(std::move(item));
        return raw;
    }
    CQmQuorviaModel& Model() const { return *view_->GetModel(); }
    QString Text(const CQmQuorviaItem* item, int column) const {
        return Model().data(Model().IndexOfItem(item, column)).toString();
    }
    // A new task's list as the frame shows it: all items in, sorted, and the
    // update tick running.
    void ShowAll() {
        view_->BeginAddItems();
        view_->EndAddItems();
        view_->BeginHashUpdates();
    }
    void ShowWindow() {
        view_->resize(1400, 600);
        view_->show();
        QCoreApplication::processEvents();
    }

    FakePrompts prompts_;
    std::unique_ptr<CQuorviaView> view_;
    std::unique_ptr<QAbstractItemModelTester> tester_;
};

// What the hasher does when it finished an item.
void Finish(CQmQuorviaItem* item, uint8_t first) {
    uint8_t digest[16] = {first};
    item->SetHash(digest, sizeof digest, 4);
    item->SetProcessed(true);
    item->SetUpdated(true);
}

TEST_F(ViewTest, ColumnsSelectionAndIconsAsCreated) {
    const QHeaderView* header = view_->header();
    const char16_t* titles[] = {u"文件名", u"大小", u"修改日期", u"文件HASH", u"文件验证信息"};
    const int widths[] = {280, 100, 140, 320, 400};
    for (int column = 0; column < 5; ++column) {
        EXPECT_EQ(Model().headerData(column, Qt::Horizontal).toString(), QString::fromUtf16(titles[column]));
        if (column != QM_COLUMN_NAME && column != QM_COLUMN_SIZE) {
            EXPECT_GE(header->sectionSize(column), widths[column]);
        } else {
            EXPECT_EQ(header->sectionSize(column), widths[column]);
        }
    }
    // A time and a SHA1 digest of wide digits fit whole in the font in use,
    // with room for the cell's margins.
    const QFontMetrics metrics(view_->font());
    EXPECT_GE(header->sectionSize(QM_COLUMN_TIME), metrics.horizontalAdvance(QStringLiteral("2008-08-08 08:08:08")) + 8);
    EXPECT_GE(header->sectionSize(QM_COLUMN_HASH),
              metrics.horizontalAdvance(QStringLiteral("4FA4D24BC6632A1ACABAD0A859758C0DC6C1F9DD")) + 8);
    EXPECT_GE(header->sectionSize(QM_COLUMN_HASH), metrics.horizontalAdvance(QString(40, u'D')) + 8);
    EXPECT_GE(header->sectionSize(QM_COLUMN_VERIFY),
              metrics.horizontalAdvance(QStringLiteral("新文件HASH值:4FA4D24BC6632A1ACABAD0A859758C0DC6C1F9DD")) + 8);
    EXPECT_EQ(Model().headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).toInt() & Qt::AlignRight, Qt::AlignRight);
    EXPECT_EQ(view_->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(view_->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(view_->uniformRowHeights());
    const QPalette colours = view_->palette();
    EXPECT_EQ(colours.color(QPalette::Inactive, QPalette::Highlight),
              colours.color(QPalette::Active, QPalette::Highlight));
    EXPECT_EQ(colours.color(QPalette::Inactive, QPalette::HighlightedText),
              colours.color(QPalette::Active, QPalette::HighlightedText));
    // Image 0 exists for the group rows.
    EXPECT_GE(GetIconCount(), 1);
    EXPECT_FALSE(GetIconList().GetIcon(0).isNull());
    EXPECT_EQ(view_->GetSortColumn(), -1);
}

// A tick whose budget is spent hands the rest to slices run from the event
// loop, so every item still goes in before the next tick; the end of the
// enumeration takes in everything at once whatever the budget.
TEST_F(ViewTest, AnAddTickOverItsBudgetFinishesInSlices) {
    view_->SetAddTickBudget(std::chrono::milliseconds(0));
    view_->BeginAddItems();
    for (int i = 0; i < 250; ++i) Add(u"/slices/f" + std::u16string(QString::number(i).toStdU16String()));
    view_->RunAddTick();
    EXPECT_EQ(view_->GetItemCount(), 100) << "one batch, then the budget is spent";
    EXPECT_TRUE(view_->isExpanded(Model().GroupIndex(0)));
    for (int i = 0; i < 10 && view_->GetItemCount() < 250; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(view_->GetItemCount(), 250);

    for (int i = 0; i < 250; ++i) Add(u"/slices/g" + std::u16string(QString::number(i).toStdU16String()));
    view_->RunAddTick();
    view_->EndAddItems();
    EXPECT_EQ(view_->GetItemCount(), 500);
    QCoreApplication::processEvents();
    EXPECT_EQ(view_->GetItemCount(), 500) << "no slice left running after the end";
    EXPECT_EQ(Doc().GetItemAt(0), Model().ItemAt(Model().index(0, 0, Model().GroupIndex(0))));

    // A new task drops a pending slice with the old rows.
    view_->BeginAddItems();
    for (int i = 0; i < 250; ++i) Add(u"/slices/h" + std::u16string(QString::number(i).toStdU16String()));
    view_->RunAddTick();
    view_->Clear();
    QCoreApplication::processEvents();
    EXPECT_EQ(view_->GetItemCount(), 0);
}

TEST_F(ViewTest, OneAddTickTakesInEveryWaitingItemInBatches) {
    view_->BeginAddItems();
    EXPECT_EQ(Model().headerData(QM_COLUMN_HASH, Qt::Horizontal).toString(), "MD5");
    EXPECT_TRUE(view_->IsAddTimerActive());
    for (int i = 0; i < 250; ++i) Add(u"/many/f" + std::u16string(QString::number(i).toStdU16String()));
    QSignalSpy inserted(&Model(), &QAbstractItemModel::rowsInserted);
    view_->RunAddTick();
    EXPECT_EQ(view_->GetItemCount(), 250);
    ASSERT_EQ(inserted.count(), 4);  // the group, then rows of 100, 100 and 50
    EXPECT_EQ(inserted.at(1).at(2).toInt(), 99);
    EXPECT_EQ(inserted.at(2).at(1).toInt(), 100);
    EXPECT_EQ(inserted.at(3).at(1).toInt(), 200);
    EXPECT_EQ(inserted.at(3).at(2).toInt(), 249);

    Add(u"/later/x");
    view_->RunAddTick();
    EXPECT_EQ(view_->GetItemCount(), 251);
    // The new group is spanned by the layout the insertion left pending.
    EXPECT_FALSE(view_->isFirstColumnSpanned(1, QModelIndex()));
    QCoreApplication::processEvents();
    for (int group = 0; group < 2; ++group) {
        EXPECT_TRUE(view_->isExpanded(Model().GroupIndex(group)));
        EXPECT_TRUE(view_->isFirstColumnSpanned(group, QModelIndex()));
    }
    view_->RunAddTick();  // nothing new
    EXPECT_EQ(view_->GetItemCount(), 251);

    // An algorithm the catalogue does not hold leaves column 3 untitled.
    Doc().SetAlgorithm(12345);
    view_->BeginAddItems();
    EXPECT_EQ(Model().headerData(QM_COLUMN_HASH, Qt::Horizontal).toString(), "");
}

TEST_F(ViewTest, EndAddItemsSortsByNameAndTheDocumentFollows) {
    CQmQuorviaItem* b = Add(u"/p/b.txt");
    CQmQuorviaItem* z = Add(u"/q/z");
    CQmQuorviaItem* ten = Add(u"/p/10.txt");
    CQmQuorviaItem* nine = Add(u"/p/9.txt");
    CQmQuorviaItem* a = Add(u"/q/A");
    view_->BeginAddItems();
    view_->EndAddItems();

    const std::vector<CQmQuorviaItem*> expected = {nine, ten, b, a, z};
    EXPECT_EQ(Model().List().ItemsInRowOrder(), expected);
    std::vector<CQmQuorviaItem*> document(Doc().GetItemCount());
    Doc().GetItems(0, document);
    EXPECT_EQ(document, expected);
    EXPECT_TRUE(view_->header()->isSortIndicatorShown());
    EXPECT_EQ(view_->header()->sortIndicatorSection(), 0);
    EXPECT_EQ(view_->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_FALSE(view_->IsAddTimerActive());
    EXPECT_TRUE(view_->IsUpdateTimerActive());
    EXPECT_GE(prompts_.shown, 1);
    EXPECT_EQ(prompts_.depth, 0);
}

TEST_F(ViewTest, ChangedSizeRewritesItsCellsAndAsksForNewTotals) {
    Add(u"/c/first");
    CQmQuorviaItem* item = Add(u"/c/second", 100);
    ShowAll();
    Finish(Doc().GetItemAt(0), 1);
    QSignalSpy totals(view_.get(), &CQuorviaView::totalsChanged);
    QSignalSpy changed(&Model(), &QAbstractItemModel::dataChanged);
    item->SetRange(std::nullopt, kKeepRangeValue, 5000);  // the reader's Open saw a new size
    item->SetChanged(true);
    Finish(item, 2);
    view_->RunUpdateTick();

    EXPECT_EQ(totals.count(), 1);
    EXPECT_FALSE(item->IsChanged());
    EXPECT_EQ(Text(item, QM_COLUMN_SIZE), QString::fromStdU16String(StrFormatByteSize(5000)));
    const QModelIndex row = Model().IndexOfItem(item);
    bool sizeAndTime = false;
    for (const QList<QVariant>& signal : changed) {
        const auto topLeft = signal.at(0).value<QModelIndex>();
        const auto bottomRight = signal.at(1).value<QModelIndex>();
        if (topLeft.column() == QM_COLUMN_SIZE) {
            EXPECT_EQ(topLeft, row.siblingAtColumn(QM_COLUMN_SIZE));
            EXPECT_EQ(bottomRight, row.siblingAtColumn(QM_COLUMN_TIME));
            sizeAndTime = true;
        } else {
            EXPECT_EQ(topLeft.column(), QM_COLUMN_HASH);
            EXPECT_EQ(bottomRight.column(), QM_COLUMN_HASH);
        }
    }
    EXPECT_TRUE(sizeAndTime);

    view_->RunUpdateTick();  // nothing changed since
    EXPECT_EQ(totals.count(), 1);
}

TEST_F(ViewTest, HeaderClicksSortWithinGroupsAndToggleTheDirection) {
    CQmQuorviaItem* p1 = Add(u"/p/a", 1025);
    CQmQuorviaItem* p2 = Add(u"/p/b", 1000);
    CQmQuorviaItem* q1 = Add(u"/q/c", 5);
    CQmQuorviaItem* p3 = Add(u"/p/c", 1024);
    CQmQuorviaItem* q2 = Add(u"/q/d", 7);
    ShowAll();
    ShowWindow();
    QHeaderView* header = view_->header();
    auto click = [&](int section) {
        const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    };
    const int cursorsBefore = prompts_.shown;

    click(QM_COLUMN_SIZE);
    EXPECT_EQ(Model().List().ItemsInRowOrder(), (std::vector<CQmQuorviaItem*>{p2, p3, p1, q1, q2}));
    EXPECT_EQ(header->sortIndicatorSection(), QM_COLUMN_SIZE);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    click(QM_COLUMN_SIZE);
    EXPECT_EQ(Model().List().ItemsInRowOrder(), (std::vector<CQmQuorviaItem*>{p1, p3, p2, q2, q1}));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(Model().GroupIndex(0).data().toString(), "/p");
    click(QM_COLUMN_NAME);
    EXPECT_EQ(Model().List().ItemsInRowOrder(), (std::vector<CQmQuorviaItem*>{p1, p2, p3, q1, q2}));
    EXPECT_EQ(header->sortIndicatorSection(), QM_COLUMN_NAME);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_EQ(prompts_.shown - cursorsBefore, 3);
    EXPECT_EQ(prompts_.depth, 0);

    // Sorting again keeps the direction.
    view_->SortByColumn(QM_COLUMN_SIZE);
    view_->SortByColumn(QM_COLUMN_SIZE);
    view_->SortByColumn(-1);
    EXPECT_FALSE(view_->IsSortAscending());
    EXPECT_EQ(Model().List().ItemsInRowOrder(), (std::vector<CQmQuorviaItem*>{p1, p3, p2, q2, q1}));
}

TEST_F(ViewTest, SelectionCoversFileRowsInRowOrderAndFollowsSorting) {
    CQmQuorviaItem* a = Add(u"/s/a", 3);
    CQmQuorviaItem* b = Add(u"/s/b", 2);
    CQmQuorviaItem* c = Add(u"/t/c", 1);
    ShowAll();
    ShowWindow();
    view_->SelectAllItems();
    EXPECT_EQ(view_->GetSelectedItems(), (std::vector<CQmQuorviaItem*>{a, b, c}));
    EXPECT_FALSE(view_->selectionModel()->isSelected(Model().GroupIndex(0)));

    view_->clearSelection();
    QTest::keyClick(view_.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(view_->GetSelectedItems().size(), 3u);

    view_->clearSelection();
    QItemSelectionModel* selection = view_->selectionModel();
    selection->select(Model().IndexOfItem(c), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->select(Model().IndexOfItem(b), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(view_->GetSelectedItems(), (std::vector<CQmQuorviaItem*>{b, c}));
    view_->SortByColumn(QM_COLUMN_SIZE);  // b moves up, past a
    EXPECT_EQ(view_->GetSelectedItems(), (std::vector<CQmQuorviaItem*>{b, c}));
    EXPECT_EQ(Model().IndexOfItem(b).row(), 0);
}

// The region a selection change repaints: its rows on screen, whole, and
// nothing of the rows around them or of rows scrolled out of sight.
class RegionProbe : public CQuorviaView {
public:
    using CQuorviaView::visualRegionForSelection;
};

TEST_F(ViewTest, ASelectionRepaintsItsVisibleRowsOnly) {
    for (int i = 0; i < 400; ++i) Add(u"/r/" + QString::number(i).toStdU16String());
    view_.reset();  // the probe takes the fixture view's place
    tester_.reset();
    auto probe = std::make_unique<RegionProbe>();
    RegionProbe& view = *probe;
    view_ = std::move(probe);
    ShowAll();
    ShowWindow();
    view.scrollToTop();
    QItemSelection selection;
    const QModelIndex third = Model().index(2, 0, Model().GroupIndex(0));
    const QModelIndex fourth = Model().index(3, 0, Model().GroupIndex(0));
    const QModelIndex far = Model().index(390, 0, Model().GroupIndex(0));
    selection.select(third, fourth.siblingAtColumn(4));
    selection.select(far, far.siblingAtColumn(4));
    const QRegion region = view.visualRegionForSelection(selection);
    const QRect rowRect = view.visualRect(third);
    EXPECT_TRUE(region.contains(QPoint(view.viewport()->width() - 2, rowRect.center().y())));
    EXPECT_TRUE(region.contains(view.visualRect(fourth).center()));
    EXPECT_FALSE(region.contains(view.visualRect(Model().index(1, 0, Model().GroupIndex(0))).center()));
    EXPECT_FALSE(region.contains(view.visualRect(Model().index(4, 0, Model().GroupIndex(0))).center()));
    EXPECT_FALSE(region.contains(view.visualRect(Model().GroupIndex(0)).center()));
    EXPECT_EQ(region.boundingRect().height(), 2 * rowRect.height()) << "the far row is not on screen";
    EXPECT_TRUE(view.visualRegionForSelection(QItemSelection()).isEmpty());

    view.scrollTo(far);
    QCoreApplication::processEvents();
    EXPECT_TRUE(view.visualRegionForSelection(selection).contains(view.visualRect(far).center()));
}

TEST_F(ViewTest, FoldingAllGroups) {
    Add(u"/f1/x");
    Add(u"/f2/y");
    ShowAll();
    ShowWindow();
    view_->CollapseAll();
    for (int group = 0; group < 2; ++group) EXPECT_FALSE(view_->isExpanded(Model().GroupIndex(group)));
    view_->ExpandAll();
    for (int group = 0; group < 2; ++group) EXPECT_TRUE(view_->isExpanded(Model().GroupIndex(group)));
    // A group the user folds in the tree is folded in the list, and one the
    // list unfolds opens in the tree.
    view_->collapse(Model().GroupIndex(1));
    EXPECT_TRUE(Model().List().IsFolded(1));
    EXPECT_FALSE(Model().List().IsFolded(0));
    Model().List().SetFolded(1, false);
    EXPECT_TRUE(view_->isExpanded(Model().GroupIndex(1)));
}

TEST_F(ViewTest, DoubleClickOpensTheFileAndReportsAFailure) {
    test::TempDir dir;
    CQmQuorviaItem* vanished = Add((dir.path() / "vanished.txt").u16string());
    ShowAll();
    ShowWindow();
    const QModelIndex row = Model().IndexOfItem(vanished, QM_COLUMN_HASH);
    // A real double click: a click, then the second press as a double click.
    auto doubleClick = [&](const QModelIndex& index) {
        const QPoint at = view_->visualRect(index).center();
        QTest::mouseClick(view_->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view_->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(view_->viewport(), Qt::LeftButton, {}, at);
    };
    doubleClick(row);
    ASSERT_EQ(prompts_.boxes.size(), 1u);
    EXPECT_EQ(prompts_.boxes[0].text.rfind(u"打开文件失败", 0), 0u);
    EXPECT_EQ(prompts_.boxes[0].flags & MB_ICONMASK, MB_ICONERROR);

    // A group row is no file.
    doubleClick(Model().GroupIndex(0));
    EXPECT_EQ(prompts_.boxes.size(), 1u);
}

TEST_F(ViewTest, NoRowOutlivesTheDocumentsItems) {
    Add(u"/e/one");
    Add(u"/e/two");
    ShowAll();
    ShowWindow();
    view_->SelectAllItems();
    // A failed load empties the document; the frame then empties the view.
    Doc().Clear();
    view_->Clear();
    EXPECT_EQ(view_->GetItemCount(), 0);
    EXPECT_EQ(Model().rowCount(), 0);
    EXPECT_TRUE(view_->GetSelectedItems().empty());
    EXPECT_FALSE(view_->IsAddTimerActive());
    EXPECT_FALSE(view_->IsUpdateTimerActive());
    QCoreApplication::processEvents();  // a repaint touches no row

    Add(u"/e/three");
    ShowAll();
    Doc().Clear();
    view_->BeginAddItems();
    view_->EndAddItems();
    EXPECT_EQ(view_->GetItemCount(), 0);
}

}  // namespace
}  // namespace qm
