// The new-task dialog driven through its widgets, with every box and file
// dialog answered by a recording fake.
#include "desktop_qt/new_hash_dlg.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <deque>
#include <filesystem>

#include "common/app_info.h"
#include "common/error_record.h"
#include "common/user_prompts.h"
#include "document/quorvia_doc.h"
#include "engines/register_engines.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

constexpr char16_t kAppName[] = u"栎弦文件校验工具";

class FakePrompts : public CQmUserPrompts {
public:
    int MessageBox(const QmMessageBoxRequest& request) override {
        boxes.push_back(request);
        return IDOK;
    }
    bool FileDialog(const QmFileDialogRequest& request, QmFileDialogResult& result) override {
        fileRequests.push_back(request);
        if (fileAnswers.empty()) return false;
        result.paths = fileAnswers.front();
        fileAnswers.pop_front();
        result.filterIndex = request.filterIndex;
        return true;
    }
    bool FolderDialog(QmWindow owner, std::u16string_view title, std::u16string& path) override {
        folderTitles.emplace_back(title);
        folderOwners.push_back(owner);
        if (folderAnswers.empty()) return false;
        path = folderAnswers.front();
        folderAnswers.pop_front();
        return true;
    }
    void SetWaitCursor(bool) override {}

    std::vector<QmMessageBoxRequest> boxes;
    std::vector<QmFileDialogRequest> fileRequests;
    std::deque<std::vector<std::u16string>> fileAnswers;
    std::vector<std::u16string> folderTitles;
    std::vector<QmWindow> folderOwners;
    std::deque<std::u16string> folderAnswers;
};

std::u16string U16(const std::filesystem::path& path) { return QString::fromStdString(path.string()).toStdU16String(); }

std::vector<int> SelectedRows(const CQmNewHashDlg& dialog) {
    std::vector<int> rows;
    QTreeWidget* list = dialog.PathList();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->isSelected()) rows.push_back(i);
    }
    return rows;
}

std::vector<std::u16string> Rows(const CQmNewHashDlg& dialog) {
    std::vector<std::u16string> rows;
    QTreeWidget* list = dialog.PathList();
    for (int i = 0; i < list->topLevelItemCount(); ++i) rows.push_back(list->topLevelItem(i)->text(0).toStdU16String());
    return rows;
}

class NewHashDlgTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        GetAppInfo().SetNames(kAppName, u"Quorvia 2.0", u"Zantoria");
        RegisterBuiltInEngines();
    }
    void SetUp() override {
        SetUserPrompts(&prompts_);
        ASSERT_TRUE(GetQuorviaDoc().BeginTask(U16(dir_.path()), 4, true));
    }
    void TearDown() override { SetUserPrompts(nullptr); }

    FakePrompts prompts_;
    test::TempDir dir_;
};

TEST_F(NewHashDlgTest, InitialPathsAreListedUnselectedWithTheDocumentsSettings) {
    const auto file = dir_.Write("a.iso", "x");
    CQmNewHashDlg dialog({U16(file), U16(dir_.path())});
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("新建校验任务"));
    EXPECT_EQ(dialog.PathList()->headerItem()->text(0), QStringLiteral("文件路径"));
    EXPECT_EQ(Rows(dialog), (std::vector<std::u16string>{U16(file), U16(dir_.path())}));
    EXPECT_TRUE(SelectedRows(dialog).empty());
    EXPECT_FALSE(dialog.PathList()->topLevelItem(0)->icon(0).isNull());
    EXPECT_TRUE(dialog.SubdirsCheck()->isChecked());
    EXPECT_EQ(dialog.AlgorithmCombo()->currentText(), QStringLiteral("MD5"));

    // The catalogue's names in catalogue order.
    const CQmHashCatalog& catalog = GetHashCatalog();
    ASSERT_EQ(dialog.AlgorithmCombo()->count(), catalog.GetCount());
    for (int i = 0; i < catalog.GetCount(); ++i) {
        EXPECT_EQ(dialog.AlgorithmCombo()->itemText(i), QString::fromUtf16(catalog.GetAt(i)->name)) << i;
    }
}

TEST_F(NewHashDlgTest, UnknownAlgorithmPreselectsSha1AndRecordsTheError) {
    ASSERT_TRUE(GetQuorviaDoc().BeginTask(U16(dir_.path()), 5, false));
    GetQuorviaDoc().SetAlgorithm(6);  // no engine has class id 6
    SetErrorText(0, u"");
    CQmNewHashDlg dialog({});
    EXPECT_EQ(dialog.AlgorithmCombo()->currentText(), QStringLiteral("SHA1"));
    EXPECT_EQ(GetLastErrorText(), u"获取类型对应索引号失败:不支持的类ID.");
    EXPECT_FALSE(dialog.SubdirsCheck()->isChecked());
}

TEST_F(NewHashDlgTest, AddPathFindsExactDuplicatesOnly) {
    CQmNewHashDlg dialog({u"/data/a.bin"});
    EXPECT_EQ(dialog.AddPath(u"/data/b.bin", false), 1);
    EXPECT_EQ(dialog.AddPath(u"/data/a.bin", true), 0);
    EXPECT_EQ(SelectedRows(dialog), std::vector<int>{0});
    // Letter case tells two Linux paths apart.
    EXPECT_EQ(dialog.AddPath(u"/data/A.bin", false), 2);
    EXPECT_EQ(dialog.PathList()->topLevelItemCount(), 3);
}

TEST_F(NewHashDlgTest, AddFilesAsksWithTheFiltersAndSelectsExactlyTheChosenFiles) {
    CQmNewHashDlg dialog({u"/data/old.bin", u"/data/x/1.iso"});
    dialog.PathList()->topLevelItem(0)->setSelected(true);
    prompts_.fileAnswers.push_back({u"/data/x/1.iso", u"/data/x/2.iso"});
    QTest::mouseClick(dialog.AddFilesButton(), Qt::LeftButton);

    ASSERT_EQ(prompts_.fileRequests.size(), 1u);
    const QmFileDialogRequest& request = prompts_.fileRequests[0];
    EXPECT_EQ(request.owner, static_cast<QmWindow>(&dialog));
    EXPECT_EQ(request.mode, QmFileDialogMode::Open);
    EXPECT_EQ(request.title, u"添加文件");
    EXPECT_EQ(request.filters,
              (std::vector<QmFileFilter>{{u"光盘镜像文件(*.iso)", u"*.iso"}, {u"所有文件(*.*)", u"*.*"}}));
    EXPECT_EQ(request.filterIndex, 2);
    EXPECT_TRUE(request.multiSelect);

    EXPECT_EQ(Rows(dialog), (std::vector<std::u16string>{u"/data/old.bin", u"/data/x/1.iso", u"/data/x/2.iso"}));
    EXPECT_EQ(SelectedRows(dialog), (std::vector<int>{1, 2}));

    // A cancelled dialog changes nothing, the selection included.
    QTest::mouseClick(dialog.AddFilesButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.PathList()->topLevelItemCount(), 3);
    EXPECT_EQ(SelectedRows(dialog), (std::vector<int>{1, 2}));
}

TEST_F(NewHashDlgTest, AddDirectoryUsesTheFolderPicker) {
    CQmNewHashDlg dialog({u"/data/a"});
    dialog.PathList()->topLevelItem(0)->setSelected(true);
    prompts_.folderAnswers.push_back(u"/data/b");
    QTest::mouseClick(dialog.AddDirectoryButton(), Qt::LeftButton);
    EXPECT_EQ(prompts_.folderTitles, std::vector<std::u16string>{u"请选择需要计算文件检验的目录:"});
    EXPECT_EQ(prompts_.folderOwners, std::vector<QmWindow>{&dialog});
    EXPECT_EQ(Rows(dialog), (std::vector<std::u16string>{u"/data/a", u"/data/b"}));
    EXPECT_EQ(SelectedRows(dialog), std::vector<int>{1});
}

TEST_F(NewHashDlgTest, DropsAddLocalFilesOnly) {
    CQmNewHashDlg dialog({u"/data/a"});
    dialog.PathList()->topLevelItem(0)->setSelected(true);

    // As on a desktop: the drop reaches the dialog only after it accepted
    // the drag entering it.
    auto drop = [&](const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&dialog, &enter);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&dialog, &event);
        return enter.isAccepted() && event.isAccepted();
    };
    EXPECT_FALSE(drop({QUrl(QStringLiteral("https://example.org/x.iso"))}));
    EXPECT_EQ(SelectedRows(dialog), std::vector<int>{0});

    EXPECT_TRUE(drop({QUrl(QStringLiteral("https://example.org/x.iso")), QUrl::fromLocalFile(QStringLiteral("/data/b")),
                      QUrl::fromLocalFile(QStringLiteral("/data/a"))}));
    EXPECT_EQ(Rows(dialog), (std::vector<std::u16string>{u"/data/a", u"/data/b"}));
    EXPECT_EQ(SelectedRows(dialog), (std::vector<int>{0, 1}));
}

TEST_F(NewHashDlgTest, DeleteKeyRemovesSelectedRowsThenOkReportsTheEmptyList) {
    CQmNewHashDlg dialog({u"/data/a", u"/data/b", u"/data/c"});
    dialog.PathList()->topLevelItem(0)->setSelected(true);
    dialog.PathList()->topLevelItem(2)->setSelected(true);
    QTest::keyClick(dialog.PathList(), Qt::Key_Delete);
    EXPECT_EQ(Rows(dialog), std::vector<std::u16string>{u"/data/b"});
    EXPECT_TRUE(prompts_.boxes.empty());

    dialog.PathList()->topLevelItem(0)->setSelected(true);
    QTest::keyClick(dialog.PathList(), Qt::Key_Delete);
    EXPECT_EQ(dialog.PathList()->topLevelItemCount(), 0);

    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    ASSERT_EQ(prompts_.boxes.size(), 1u);
    EXPECT_EQ(prompts_.boxes[0].owner, static_cast<QmWindow>(&dialog));
    EXPECT_EQ(prompts_.boxes[0].caption, kAppName);
    EXPECT_EQ(prompts_.boxes[0].text, u"请设置需要计算校验的目录或文件!");
    EXPECT_EQ(prompts_.boxes[0].flags, MB_ICONERROR);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(NewHashDlgTest, OkNamesEveryMissingPathAndSelectsTheirRows) {
    const auto file = dir_.Write("here.bin", "1");
    const std::u16string gone1 = U16(dir_ / "gone1.bin");
    const std::u16string gone2 = U16(dir_ / "sub" / "gone2");
    CQmNewHashDlg dialog({U16(file), gone1, gone2});
    dialog.PathList()->topLevelItem(0)->setSelected(true);
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);

    ASSERT_EQ(prompts_.boxes.size(), 1u);
    EXPECT_EQ(prompts_.boxes[0].caption, kAppName);
    EXPECT_EQ(prompts_.boxes[0].text,
              u"以下文件或目录已不存在，请检查后再重新尝试：\r\n\r\n" + gone1 + u"\r\n" + gone2 + u"\r\n");
    EXPECT_EQ(prompts_.boxes[0].flags, MB_ICONERROR);
    EXPECT_EQ(SelectedRows(dialog), (std::vector<int>{1, 2}));
    EXPECT_TRUE(dialog.GetChosenPaths().empty());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(NewHashDlgTest, OkAcceptsWithTheCommonRootAndTheChoices) {
    const auto file = dir_.Write("data/x/1.bin", "1");
    std::filesystem::create_directories(dir_ / "data" / "y");
    CQmNewHashDlg dialog({U16(file), U16(dir_ / "data" / "y")});
    dialog.SubdirsCheck()->setChecked(false);
    dialog.AlgorithmCombo()->setCurrentText(QStringLiteral("SHA1"));
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);

    EXPECT_TRUE(prompts_.boxes.empty());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.GetAlgorithmId(), 5);
    EXPECT_FALSE(dialog.GetRecurseSubdirectories());
    EXPECT_EQ(dialog.GetCommonRoot(), U16(dir_ / "data"));
    EXPECT_EQ(dialog.GetChosenPaths(),
              (std::vector<QmChosenPath>{{U16(file), false}, {U16(dir_ / "data" / "y"), true}}));
}

TEST_F(NewHashDlgTest, OkWithoutCommonRootShowsTheInformationBox) {
    std::filesystem::create_directories(dir_ / "d");
    // An absolute and a relative path share no root.
    const std::filesystem::path relative = std::filesystem::relative(dir_ / "d");
    ASSERT_TRUE(std::filesystem::exists(relative));
    CQmNewHashDlg dialog({U16(dir_ / "d"), U16(relative)});
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    ASSERT_EQ(prompts_.boxes.size(), 1u);
    EXPECT_EQ(prompts_.boxes[0].caption, kAppName);
    EXPECT_EQ(prompts_.boxes[0].text, u"您所设置的所有文件没有公共的根目录,请重新选择路径!");
    EXPECT_EQ(prompts_.boxes[0].flags, MB_ICONINFORMATION);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(dialog.GetCommonRoot().empty());
}

TEST_F(NewHashDlgTest, ResizingKeepsTheFirstSizeAsMinimumAndGrowsTheList) {
    CQmNewHashDlg dialog({});
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const QSize first = dialog.size();
    EXPECT_GE(first.width(), 720);
    EXPECT_GE(first.height(), 420);
    EXPECT_EQ(dialog.minimumSize(), first);
    EXPECT_TRUE(dialog.isSizeGripEnabled());

    const QSize listBefore = dialog.PathList()->size();
    const QPoint okFromCorner = QPoint(dialog.width(), dialog.height()) - dialog.OkButton()->geometry().topLeft();
    dialog.resize(first + QSize(200, 100));
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog.PathList()->size(), listBefore + QSize(200, 100));
    EXPECT_EQ(QPoint(dialog.width(), dialog.height()) - dialog.OkButton()->geometry().topLeft(), okFromCorner);

    dialog.resize(first - QSize(100, 100));
    EXPECT_EQ(dialog.size(), first);
}

}  // namespace
}  // namespace qm
