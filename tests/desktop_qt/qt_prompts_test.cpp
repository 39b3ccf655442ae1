// The real message boxes, file and folder dialogs and wait cursor, each box
// or dialog answered from inside its own exec() as a user would answer it.
#include "desktop_qt/qt_prompts.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "support/temp_dir.h"
#include "desktop_qt/qt_translations.h"

namespace qm {
namespace {

// Calls `answer` with the modal window of type T once its exec() shows it.
// A window of another kind still modal when the tries run out fails the test
// and is rejected, so the test ends instead of waiting on it.
template <class T>
void AnswerModal(std::function<void(T*)> answer, QObject* context = qApp, int triesLeft = 50) {
    QTimer::singleShot(0, context, [answer = std::move(answer), context, triesLeft]() mutable {
        QWidget* modal = QApplication::activeModalWidget();
        if (T* wanted = qobject_cast<T*>(modal)) return answer(wanted);
        if (triesLeft > 0) return AnswerModal<T>(std::move(answer), context, triesLeft - 1);
        if (auto* other = qobject_cast<QDialog*>(modal)) {
            ADD_FAILURE() << "unexpected modal window " << other->windowTitle().toStdString();
            other->reject();
        }
    });
}

QString Q(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }
std::u16string U(const std::filesystem::path& path) { return Q(path).toStdU16String(); }

struct SeenBox {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Shows a box for `flags`; `close` answers it (pressing a button, a key…).
int Ask(uint32_t flags, const std::function<void(QMessageBox*)>& close, SeenBox* seen = nullptr,
        std::u16string text = u"文本") {
    AnswerModal<QMessageBox>([seen, close](QMessageBox* box) {
        if (seen) *seen = {box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
        close(box);
        if (box->isVisible()) box->reject();  // never left waiting
    });
    return CQmQtPrompts().MessageBox({nullptr, u"校验结果", std::move(text), flags});
}

std::function<void(QMessageBox*)> Press(QMessageBox::StandardButton which) {
    return [which](QMessageBox* box) {
        if (QAbstractButton* button = box->button(which)) button->click();
    };
}

TEST(QtPromptsMessageBoxTest, ShowsCaptionTextLinesAndIconKind) {
    SeenBox seen;
    Ask(MB_OK, Press(QMessageBox::Ok), &seen, u"第一行\r\n第二行\r\n");
    EXPECT_EQ(seen.title, QStringLiteral("校验结果"));
    EXPECT_EQ(seen.text, QStringLiteral("第一行\n第二行\n"));

    const std::pair<uint32_t, QMessageBox::Icon> icons[] = {
        {MB_ICONERROR, QMessageBox::Critical},       {MB_ICONQUESTION, QMessageBox::Question},
        {MB_ICONWARNING, QMessageBox::Warning},      {MB_ICONINFORMATION, QMessageBox::Information},
        {0, QMessageBox::NoIcon},
    };
    for (const auto& [flag, icon] : icons) {
        Ask(MB_OKCANCEL | flag, Press(QMessageBox::Ok), &seen);
        EXPECT_EQ(seen.icon, icon) << "flag " << flag;
    }
}

TEST(QtPromptsMessageBoxTest, EachButtonSetShowsItsButtonsAndAnswersTheirIds) {
    using B = QMessageBox;
    const struct {
        uint32_t flags;
        QMessageBox::StandardButtons buttons;
        std::vector<std::pair<QMessageBox::StandardButton, int>> ids;
    } sets[] = {
        {MB_OK, B::Ok, {{B::Ok, IDOK}}},
        {MB_OKCANCEL | MB_ICONQUESTION, B::Ok | B::Cancel, {{B::Ok, IDOK}, {B::Cancel, IDCANCEL}}},
        {MB_YESNOCANCEL, B::Yes | B::No | B::Cancel, {{B::Yes, IDYES}, {B::No, IDNO}, {B::Cancel, IDCANCEL}}},
    };
    for (const auto& set : sets) {
        for (const auto& [button, id] : set.ids) {
            SeenBox seen;
            EXPECT_EQ(Ask(set.flags, Press(button), &seen), id) << "flags " << set.flags << " button " << button;
            EXPECT_EQ(seen.buttons, set.buttons) << "flags " << set.flags;
        }
    }
}

TEST(QtPromptsMessageBoxTest, EscapeOrClosingAnswersCancelOrOkForAnOkOnlyBox) {
    const auto escape = [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); };
    const auto close = [](QMessageBox* box) { box->close(); };
    for (const auto& way : {std::function<void(QMessageBox*)>(escape), std::function<void(QMessageBox*)>(close)}) {
        EXPECT_EQ(Ask(MB_OK | MB_ICONERROR, way), IDOK);
        EXPECT_EQ(Ask(MB_OKCANCEL, way), IDCANCEL);
        EXPECT_EQ(Ask(MB_YESNOCANCEL | MB_ICONQUESTION, way), IDCANCEL);
    }
}

TEST(QtPromptsMessageBoxTest, ButtonTextsAreChineseWithQtTranslations) {
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFile::exists(dir + QStringLiteral("/qtbase_zh_CN.qm"))) {
        GTEST_SKIP() << "no qtbase_zh_CN.qm in " << dir.toStdString();
    }
    ASSERT_TRUE(LoadQtTranslations());
    QStringList shown;
    Ask(MB_YESNOCANCEL, [&shown](QMessageBox* box) {
        for (auto which : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}) shown << box->button(which)->text();
        box->button(QMessageBox::Cancel)->click();
    });
    Ask(MB_OK, [&shown](QMessageBox* box) {
        shown << box->button(QMessageBox::Ok)->text();
        box->button(QMessageBox::Ok)->click();
    });
    // Qt marks the keyboard mnemonic as "(&Y)" or "&"; the words are what matter.
    QStringList words = shown;
    for (QString& text : words) text.remove(QRegularExpression(QStringLiteral("\\(&.\\)"))).remove(u'&');
    EXPECT_EQ(words, (QStringList{"是", "否", "取消", "确定"})) << shown.join(u'|').toStdString();
}

// Types `name` into the file name field and accepts, as Enter would. Any box
// the dialog then shows goes to `question`, or fails the test.
void TypeAndAccept(QFileDialog* dialog, const QString& name, std::function<void(QMessageBox*)> question = {}) {
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!edit) {
        ADD_FAILURE() << "no file name field";
        return dialog->reject();
    }
    if (!question) {
        question = [](QMessageBox* box) { ADD_FAILURE() << "unexpected box: " << box->text().toStdString(); };
    }
    AnswerModal<QMessageBox>([question](QMessageBox* box) {
        question(box);
        if (box->isVisible()) box->reject();
    }, dialog);
    edit->setText(name);
    static_cast<QDialog*>(dialog)->accept();  // QFileDialog's own, which is protected there
    if (dialog->isVisible()) {
        ADD_FAILURE() << "the dialog did not take " << name.toStdString();
        dialog->reject();
    }
}

const std::vector<QmFileFilter> kFilters = {
    {u"文本文件(*.txt)", u"*.txt"},
    {u"校验文件(*.md5;*.sha1)", u"*.md5;*.sha1"},
    {u"所有文件(*.*)", u"*.*"},
};

QmFileDialogRequest Request(QmFileDialogMode mode) {
    QmFileDialogRequest request;
    request.mode = mode;
    request.title = u"选择文件";
    request.filters = kFilters;
    return request;
}

TEST(QtPromptsFileDialogTest, OpenShowsDescriptionsAndReportsTheFilterAndFilesChosen) {
    const test::TempDir dir;
    dir.Write("a.txt", "a");
    dir.Write("b.md5", "b");
    const QStringList names = MakeNameFilters(kFilters);
    QStringList filters, shown;
    QString preselected;
    QFileDialog::FileMode mode{};
    AnswerModal<QFileDialog>([&](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        if (auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
            for (int i = 0; i < combo->count(); ++i) shown << combo->itemText(i);
            preselected = combo->currentText();
        }
        mode = dialog->fileMode();
        dialog->setDirectory(Q(dir.path()));
        dialog->selectNameFilter(names[2]);
        TypeAndAccept(dialog, QStringLiteral("a.txt"));
    });
    QmFileDialogRequest request = Request(QmFileDialogMode::Open);
    request.filterIndex = 2;
    QmFileDialogResult result;
    ASSERT_TRUE(CQmQtPrompts().FileDialog(request, result));
    EXPECT_EQ(filters, names);
    EXPECT_TRUE(filters.last().endsWith(QStringLiteral("(*.*) (*)"))) << filters.last().toStdString();
    EXPECT_EQ(filters[1], QStringLiteral("校验文件(*.md5;*.sha1) (*.md5 *.sha1)"));
    EXPECT_EQ(shown, (QStringList{"文本文件(*.txt)", "校验文件(*.md5;*.sha1)", "所有文件(*.*)"}));
    EXPECT_EQ(preselected, QStringLiteral("校验文件(*.md5;*.sha1)"));
    EXPECT_EQ(mode, QFileDialog::ExistingFile);
    EXPECT_EQ(result.paths, std::vector<std::u16string>{U(dir / "a.txt")});
    EXPECT_EQ(result.filterIndex, 3);

    AnswerModal<QFileDialog>([&](QFileDialog* dialog) {
        mode = dialog->fileMode();
        dialog->setDirectory(Q(dir.path()));
        TypeAndAccept(dialog, QStringLiteral("\"a.txt\" \"b.md5\""));
    });
    request.multiSelect = true;
    ASSERT_TRUE(CQmQtPrompts().FileDialog(request, result));
    EXPECT_EQ(mode, QFileDialog::ExistingFiles);
    EXPECT_EQ(result.paths, (std::vector<std::u16string>{U(dir / "a.txt"), U(dir / "b.md5")}));
}

TEST(QtPromptsFileDialogTest, SaveProposesTheInitialPathAndAddsTheDefaultExtension) {
    const test::TempDir dir;
    QString directory, proposed;
    QStringList selected;
    AnswerModal<QFileDialog>([&](QFileDialog* dialog) {
        directory = dialog->directory().absolutePath();
        if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) proposed = edit->text();
        selected = dialog->selectedFiles();
        TypeAndAccept(dialog, QStringLiteral("报告"));
    });
    QmFileDialogRequest request = Request(QmFileDialogMode::Save);
    request.defaultExtension = u"txt";
    request.initialPath = U(dir / "建议.md5");
    QmFileDialogResult result;
    ASSERT_TRUE(CQmQtPrompts().FileDialog(request, result));
    EXPECT_EQ(directory, Q(dir.path()));
    EXPECT_EQ(proposed, QStringLiteral("建议.md5"));
    EXPECT_EQ(selected, QStringList{Q(dir / "建议.md5")});
    EXPECT_EQ(result.paths, std::vector<std::u16string>{U(dir / "报告.txt")});
}

// A filter of more than one type names no single extension: a name typed
// without one gets the extension of the type chosen in the dialog, and none
// under a type of several patterns or of all files.
TEST(QtPromptsFileDialogTest, SaveWithSeveralTypesAddsTheChosenTypesExtension) {
    const test::TempDir dir;
    const std::vector<QmFileFilter> filters = {
        {u"文本文件(*.txt)", u"*.txt"}, {u"SHA1文件(*.sha1)", u"*.sha1"},
        {u"校验文件(*.md5;*.sha1)", u"*.md5;*.sha1"}, {u"所有文件(*.*)", u"*.*"}};
    const struct {
        int chosen;  // the entry picked in the dialog, from 0; -1 keeps the first
        const char* saved;
    } cases[] = {{-1, "列表.txt"}, {1, "列表.sha1"}, {2, "列表"}, {3, "列表"}};
    for (const auto& c : cases) {
        AnswerModal<QFileDialog>([&](QFileDialog* dialog) {
            dialog->setDirectory(Q(dir.path()));
            if (c.chosen >= 0) {
                // Picked with the keyboard in the type box, as a user does.
                auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                if (!combo) return ADD_FAILURE() << "no type box", dialog->reject();
                for (int step = 0; step < c.chosen; ++step) QTest::keyClick(combo, Qt::Key_Down);
            }
            TypeAndAccept(dialog, QStringLiteral("列表"));
        });
        QmFileDialogRequest request = Request(QmFileDialogMode::Save);
        request.filters = filters;
        request.initialPath = U(dir / "Quorvia");
        QmFileDialogResult result;
        ASSERT_TRUE(CQmQtPrompts().FileDialog(request, result)) << c.chosen;
        EXPECT_EQ(result.paths, std::vector<std::u16string>{U(dir / c.saved)}) << c.chosen;
        EXPECT_EQ(result.filterIndex, c.chosen < 0 ? 1 : c.chosen + 1);
    }
}

TEST(QtPromptsFileDialogTest, SaveAsksBeforeReplacingAFileOnlyWithTheOverwritePrompt) {
    const test::TempDir dir;
    const auto existing = dir.Write("旧.txt", "old");
    for (const bool prompt : {true, false}) {
        QString question;
        AnswerModal<QFileDialog>([&](QFileDialog* dialog) {
            TypeAndAccept(dialog, QStringLiteral("旧.txt"), prompt ? [&question](QMessageBox* box) {
                question = box->text();
                if (QAbstractButton* yes = box->button(QMessageBox::Yes)) yes->click();
            } : std::function<void(QMessageBox*)>{});
        });
        QmFileDialogRequest request = Request(QmFileDialogMode::Save);
        request.overwritePrompt = prompt;
        request.initialPath = U(existing);
        QmFileDialogResult result;
        ASSERT_TRUE(CQmQtPrompts().FileDialog(request, result)) << "prompt " << prompt;
        EXPECT_EQ(result.paths, std::vector<std::u16string>{U(existing)});
        if (prompt) {
            EXPECT_TRUE(question.contains(QStringLiteral("旧.txt"))) << question.toStdString();
        }
    }
}

TEST(QtPromptsFolderDialogTest, ShowsTheTitleAndReturnsTheChosenDirectory) {
    const test::TempDir dir;
    std::filesystem::create_directory(dir / "选中");
    QString title;
    QFileDialog::FileMode mode{};
    AnswerModal<QFileDialog>([&](QFileDialog* dialog) {
        title = dialog->windowTitle();
        mode = dialog->fileMode();
        dialog->setDirectory(Q(dir.path()));
        TypeAndAccept(dialog, QStringLiteral("选中"));
    });
    std::u16string path;
    ASSERT_TRUE(CQmQtPrompts().FolderDialog(nullptr, u"选择要校验的文件夹", path));
    EXPECT_EQ(title, QStringLiteral("选择要校验的文件夹"));
    EXPECT_EQ(mode, QFileDialog::Directory);
    EXPECT_EQ(path, U(dir / "选中"));
}

TEST(QtPromptsFileDialogTest, CancellingReturnsFalseAndLeavesTheAnswerAlone) {
    const auto cancel = [](QFileDialog* dialog) { dialog->reject(); };
    AnswerModal<QFileDialog>(cancel);
    QmFileDialogResult result{{u"/earlier"}, 2};
    EXPECT_FALSE(CQmQtPrompts().FileDialog(Request(QmFileDialogMode::Open), result));
    EXPECT_EQ(result.paths, std::vector<std::u16string>{u"/earlier"});
    AnswerModal<QFileDialog>(cancel);
    std::u16string path = u"/earlier";
    EXPECT_FALSE(CQmQtPrompts().FolderDialog(nullptr, u"文件夹", path));
    EXPECT_EQ(path, u"/earlier");
}

TEST(QtPromptsTest, WaitCursorCallsNest) {
    CQmQtPrompts prompts;
    prompts.SetWaitCursor(true);
    prompts.SetWaitCursor(true);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    prompts.SetWaitCursor(false);
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
    prompts.SetWaitCursor(false);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(QtPromptsTest, CentreOverOwnerCentresOnTheOwnerAndKeepsOnTheScreen) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect owners[] = {{150, 120, 500, 400}, {area.right() - 100, area.bottom() - 80, 400, 300},
                            {area.left() - 300, area.top() - 200, 400, 300}};
    for (const QRect& place : owners) {
        QWidget owner;
        owner.setGeometry(place);
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
        QDialog dialog(&owner);
        dialog.resize(300, 200);
        CentreOverOwner(&dialog, &owner);
        const QRect frame = dialog.frameGeometry();
        if (area.contains(owner.frameGeometry())) {
            const QPoint offset = frame.center() - owner.frameGeometry().center();
            EXPECT_LE(std::abs(offset.x()), 1) << offset.x();
            EXPECT_LE(std::abs(offset.y()), 1) << offset.y();
        }
        EXPECT_TRUE(area.contains(frame)) << frame.x() << "," << frame.y() << " " << frame.width() << "x"
                                          << frame.height();
    }
}

}  // namespace
}  // namespace qm
