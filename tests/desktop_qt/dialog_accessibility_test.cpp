// The dialogs and the file list as assistive technologies and the keyboard
// meet them: every control named (fields by their labels), mnemonics unique
// within a dialog, Tab reaching every control in reading order, and the
// list's rows and cells readable through its table interface as shown,
// also after the list was sorted, folded and shortened.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include <memory>
#include <string>
#include <vector>

#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "engines/register_engines.h"
#include "desktop_qt/about_dlg.h"
#include "desktop_qt/accessibility_checks.h"
#include "desktop_qt/find_dlg.h"
#include "desktop_qt/gui_resources.h"
#include "desktop_qt/icon_cache.h"
#include "desktop_qt/new_hash_dlg.h"
#include "desktop_qt/quorvia_model.h"
#include "desktop_qt/quorvia_view.h"

namespace qm {
namespace {

using test::CheckMnemonics;
using test::Describe;
using test::LabelOf;
using test::ReadingOrderFaults;
using test::TabChain;
using test::TabControls;
using test::UnnamedControls;

std::string Join(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

std::string Names(const std::vector<QWidget*>& widgets) {
    std::vector<std::string> names;
    for (QWidget* widget : widgets) names.push_back(Describe(widget));
    return Join(names);
}

// The texts that carry mnemonics in `dialog`: buttons, check boxes, radio
// buttons and labels that name a field. OK and Cancel have Enter and Escape.
QStringList KeyedTexts(QWidget* dialog) {
    QStringList texts;
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
        if (!button->isVisible()) continue;
        if (button->text() == QStringLiteral("确定") || button->text() == QStringLiteral("取消")) continue;
        texts << button->text();
    }
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
        if (label->buddy()) texts << label->text();
    }
    return texts;
}

class DialogAccessTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitGuiResources();
        RegisterBuiltInEngines();
        CreateIconList();
    }

    // Shows `dialog` as the active window.
    static void Show(QWidget& dialog) {
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    }

    // Tab from `first` reaches every control once and in reading order.
    static void ExpectTabOrder(QWidget& dialog, QWidget* first, const std::vector<QWidget*>& expected) {
        const std::vector<QWidget*> chain = TabChain(&dialog, first);
        EXPECT_EQ(chain, expected) << "reached:\n" << Names(chain) << "expected:\n" << Names(expected);
        std::vector<QWidget*> controls = TabControls(&dialog);
        for (QWidget* control : controls) {
            EXPECT_NE(std::find(chain.begin(), chain.end(), control), chain.end())
                << Describe(control) << " is not reached by Tab";
        }
        EXPECT_EQ(chain.size(), controls.size()) << Names(chain);
        const std::vector<std::string> faults = ReadingOrderFaults(&dialog, chain);
        EXPECT_TRUE(faults.empty()) << Join(faults);
    }

    // `unkeyed`: the texts of the dialog that carry no mnemonic (they are
    // the program's own and reached by Tab).
    static void ExpectMnemonics(QWidget& dialog, qsizetype count, const QStringList& unkeyed = {}) {
        const QStringList texts = KeyedTexts(&dialog);
        EXPECT_EQ(texts.size(), count) << texts.join(u'|').toStdString();
        const test::MnemonicFaults faults = CheckMnemonics(texts);
        std::vector<std::string> expected;
        for (const QString& text : unkeyed) expected.push_back(text.toStdString());
        EXPECT_EQ(faults.missing, expected) << Join(faults.missing);
        EXPECT_TRUE(faults.repeated.empty()) << Join(faults.repeated);
    }
};

TEST_F(DialogAccessTest, NewTaskDialogIsNamedKeyedAndTabbedInReadingOrder) {
    CQmNewHashDlg dialog({u"/tmp"});
    ASSERT_NO_FATAL_FAILURE(Show(dialog));

    EXPECT_TRUE(UnnamedControls(&dialog).empty()) << Join(UnnamedControls(&dialog));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(dialog.PathList());
    EXPECT_EQ(list->text(QAccessible::Name), QStringLiteral("文件路径"));
    // The algorithm list is named as its label says and labelled by it,
    // whichever of the two a screen reader reads; its value is the choice.
    QAccessibleInterface* combo = QAccessible::queryAccessibleInterface(dialog.AlgorithmCombo());
    EXPECT_EQ(LabelOf(dialog.AlgorithmCombo()), QStringLiteral("算法类型："));
    EXPECT_EQ(combo->text(QAccessible::Value), dialog.AlgorithmCombo()->currentText());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(dialog.SubdirsCheck())->text(QAccessible::Name),
              QStringLiteral("枚举子目录"));

    // The add buttons have letters; the check box and the algorithm's label
    // keep their texts as they are, reached by Tab.
    ExpectMnemonics(dialog, 4, {QStringLiteral("枚举子目录"), QStringLiteral("算法类型：")});

    // The path list above the row of controls, which reads left to right.
    ExpectTabOrder(dialog, dialog.PathList(),
                   {dialog.PathList(), dialog.SubdirsCheck(), dialog.AlgorithmCombo(), dialog.AddFilesButton(),
                    dialog.AddDirectoryButton(), dialog.OkButton(), dialog.CancelButton()});
}

TEST_F(DialogAccessTest, FindDialogIsNamedKeyedAndTabbedInReadingOrder) {
    CQmFindDlg dialog;
    ASSERT_NO_FATAL_FAILURE(Show(dialog));
    auto* text = dialog.findChild<QLineEdit*>();
    ASSERT_TRUE(text);
    // With a text to find, the find button takes part in the tab order.
    QTest::keyClicks(text, QStringLiteral("ab"));

    EXPECT_TRUE(UnnamedControls(&dialog).empty()) << Join(UnnamedControls(&dialog));
    // The text field is named by its label.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(text)->text(QAccessible::Name), QStringLiteral("查找内容(N):"));
    EXPECT_EQ(LabelOf(text), QStringLiteral("查找内容(N):"));
    auto* direction = dialog.findChild<QGroupBox*>();
    ASSERT_TRUE(direction);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(direction)->text(QAccessible::Name), QStringLiteral("方向"));

    // Find next, the two check boxes, the two directions and the label.
    ExpectMnemonics(dialog, 6);

    const QList<QCheckBox*> checks = dialog.findChildren<QCheckBox*>();
    const QList<QRadioButton*> directions = dialog.findChildren<QRadioButton*>();
    const QList<QPushButton*> buttons = dialog.findChildren<QPushButton*>();
    ASSERT_EQ(checks.size(), 2);
    ASSERT_EQ(directions.size(), 2);
    ASSERT_EQ(buttons.size(), 2);
    QRadioButton* up = directions[0];
    QRadioButton* down = directions[1];
    ASSERT_TRUE(down->isChecked());
    // The fields in their column (text, the check boxes, the direction
    // beside them: one stop, on the direction set), then the button column.
    ExpectTabOrder(dialog, text, {text, checks[0], checks[1], down, buttons[0], buttons[1]});
    // The arrow keys move within the direction, and the stop moves along.
    down->setFocus(Qt::TabFocusReason);
    QTest::keyClick(down, Qt::Key_Left);
    EXPECT_TRUE(up->isChecked());
    ExpectTabOrder(dialog, text, {text, checks[0], checks[1], up, buttons[0], buttons[1]});
    // As when settings from an earlier search are put back.
    QmFindSettings settings = dialog.GetSettings();
    settings.down = true;
    dialog.SetSettings(settings);
    ExpectTabOrder(dialog, text, {text, checks[0], checks[1], down, buttons[0], buttons[1]});
}

TEST_F(DialogAccessTest, AboutBoxNamesItsImageAndText) {
    CAboutDlg dialog;
    ASSERT_NO_FATAL_FAILURE(Show(dialog));
    EXPECT_TRUE(UnnamedControls(&dialog).empty()) << Join(UnnamedControls(&dialog));
    std::vector<QString> names;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        names.push_back(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name));
    }
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], QStringLiteral("程序图标"));
    EXPECT_EQ(names[1], CAboutDlg::AboutText());
    auto* ok = dialog.findChild<QPushButton*>();
    ASSERT_TRUE(ok);
    ExpectTabOrder(dialog, ok, {ok});
}

// --- the file list ---------------------------------------------------------

class ListAccessTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitGuiResources();
        RegisterBuiltInEngines();
        CreateIconList();
    }

    void SetUp() override {
        // Assistive technologies switch this on when they connect; the view
        // then tells its table interface about every change of the rows.
        QAccessible::setActive(true);
        Doc().Clear();
        ASSERT_TRUE(Doc().BeginTask(u"/", 4, true));  // MD5
        for (const char16_t* path : {u"/data/b.txt", u"/data/a.txt", u"/data/sub/c.bin", u"/other/d"}) {
            auto item = CQmQuorviaItem::CreateItem(path, 1000, 133000000000000000ull);
            items.push_back(item.get());
            Doc().AppendItem(std::move(item));
        }
        view = std::make_unique<CQuorviaView>(Doc());
        view->BeginAddItems();
        view->EndAddItems();
        view->resize(1200, 400);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        QCoreApplication::processEvents();
    }

    void TearDown() override {
        view.reset();
        Doc().Clear();
        QAccessible::setActive(false);
    }

    static CQmQuorviaDoc& Doc() { return GetQuorviaDoc(); }
    CQmQuorviaModel& Model() const { return *view->GetModel(); }

    // The rows the view shows, top to bottom (groups and the files of open
    // groups).
    std::vector<QModelIndex> ShownRows() const {
        std::vector<QModelIndex> rows;
        for (QModelIndex row = Model().index(0, 0); row.isValid(); row = view->indexBelow(row)) rows.push_back(row);
        return rows;
    }

    // The table interface gives exactly the shown rows and columns with the
    // shown texts. A group row shows its directory in the first cell, which
    // spans the row; its other cells are empty.
    void ExpectTableAsShown() const {
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(view.get());
        ASSERT_TRUE(list);
        EXPECT_EQ(list->role(), QAccessible::Tree);
        EXPECT_EQ(list->text(QAccessible::Name), QStringLiteral("文件列表"));
        QAccessibleTableInterface* table = list->tableInterface();
        ASSERT_TRUE(table);
        const std::vector<QModelIndex> rows = ShownRows();
        ASSERT_EQ(table->rowCount(), static_cast<int>(rows.size()));
        ASSERT_EQ(table->columnCount(), Model().columnCount());
        for (int column = 0; column < table->columnCount(); ++column) {
            EXPECT_EQ(table->columnDescription(column), Model().headerData(column, Qt::Horizontal).toString());
        }
        for (int row = 0; row < table->rowCount(); ++row) {
            const QModelIndex shown = rows[static_cast<size_t>(row)];
            const bool group = !shown.parent().isValid();
            EXPECT_EQ(view->isFirstColumnSpanned(shown.row(), shown.parent()), group) << row;
            for (int column = 0; column < table->columnCount(); ++column) {
                QAccessibleInterface* cell = table->cellAt(row, column);
                ASSERT_TRUE(cell) << row << "," << column;
                const QString text = Model().data(shown.siblingAtColumn(column)).toString();
                EXPECT_EQ(cell->text(QAccessible::Name), text) << row << "," << column;
                if (group && column > 0) {
                    EXPECT_TRUE(text.isEmpty()) << row << "," << column;
                }
            }
        }
    }

    std::vector<CQmQuorviaItem*> items;
    std::unique_ptr<CQuorviaView> view;
};

TEST_F(ListAccessTest, RowsAndCellsReadAsShownThroughSortFoldAndRemoval) {
    // Three groups: /data (b, a), /data/sub (c.bin), /other (d), files
    // sorted by name.
    ASSERT_EQ(Model().GetGroupCount(), 3);
    ASSERT_EQ(ShownRows().size(), 7u);
    ASSERT_NO_FATAL_FAILURE(ExpectTableAsShown());
    QAccessibleTableInterface* table = QAccessible::queryAccessibleInterface(view.get())->tableInterface();
    EXPECT_EQ(table->cellAt(1, 0)->text(QAccessible::Name), QStringLiteral("a.txt"));
    EXPECT_EQ(table->cellAt(1, 1)->text(QAccessible::Name), Model().data(Model().IndexOfItem(items[1], 1)).toString());

    view->SortByColumn(0);  // the same column again: descending
    QCoreApplication::processEvents();
    ASSERT_NO_FATAL_FAILURE(ExpectTableAsShown());
    EXPECT_EQ(table->cellAt(1, 0)->text(QAccessible::Name), QStringLiteral("b.txt"));

    // Selecting all marks the file rows only, for the reader as for the eye.
    view->SelectAllItems();
    const std::vector<QModelIndex> rows = ShownRows();
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        EXPECT_EQ(table->isRowSelected(row), rows[static_cast<size_t>(row)].parent().isValid()) << row;
    }
    EXPECT_EQ(table->selectedRowCount(), Model().GetFileCount());

    view->CollapseAll();
    QCoreApplication::processEvents();
    ASSERT_NO_FATAL_FAILURE(ExpectTableAsShown());
    EXPECT_EQ(table->rowCount(), 3);
    view->ExpandAll();
    QCoreApplication::processEvents();
    ASSERT_NO_FATAL_FAILURE(ExpectTableAsShown());

    // Removing rows (one of a group of two, and the only file of another)
    // leaves no stale cell behind.
    const std::vector<CQmQuorviaItem*> doomed = {items[0], items[3]};
    ASSERT_EQ(view->RemoveItems(doomed), 2u);
    QCoreApplication::processEvents();
    ASSERT_NO_FATAL_FAILURE(ExpectTableAsShown());
}

}  // namespace
}  // namespace qm
