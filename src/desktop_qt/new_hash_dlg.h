// The new-task dialog: which files and directories to hash, with which
// algorithm, and whether directories are enumerated with their
// subdirectories.
//
// The dialog shows and forwards; what it lists, which algorithm it starts
// with and the checks on OK are the desktop logic's (CQmNewTaskDialogLogic),
// whose checks are the core's new-task checks, so the two windows and the
// command line never disagree on them; every box goes through the
// process-wide prompts.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <QDialog>

#include "desktop/new_task_dialog.h"
#include "document/task_paths.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QTreeWidget;
class QUrl;

namespace qm {

class CQmNewHashDlg : public QDialog {
    Q_OBJECT

public:
    // `initialPaths` are listed (unselected) when the dialog is built.
    explicit CQmNewHashDlg(std::vector<std::u16string> initialPaths, QWidget* parent = nullptr);

    // The outputs; they count only after the dialog was accepted.
    int32_t GetAlgorithmId() const { return logic_.GetAlgorithmId(); }
    bool GetRecurseSubdirectories() const { return logic_.GetRecurseSubdirectories(); }
    const std::vector<QmChosenPath>& GetChosenPaths() const { return logic_.GetChosenPaths(); }
    const std::u16string& GetCommonRoot() const { return logic_.GetCommonRoot(); }

    // The row of `path`: an existing row naming the same path, else a new
    // last row. With `select` the row is selected as well.
    int AddPath(std::u16string_view path, bool select);

    // Adds `paths`, selected, after clearing the selection, as the Add
    // buttons do.
    void AddChosenPaths(std::span<const std::u16string> paths);

    // Adds the local files among `urls`, selected, after clearing the
    // selection; other URLs are ignored. False when none was a local file.
    bool AddDroppedUrls(const QList<QUrl>& urls);

    QTreeWidget* PathList() const { return list_; }
    QCheckBox* SubdirsCheck() const { return subdirs_; }
    QComboBox* AlgorithmCombo() const { return algorithm_; }
    QPushButton* AddFilesButton() const { return addFiles_; }
    QPushButton* AddDirectoryButton() const { return addDirectory_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

public slots:
    void OnAddFiles();
    void OnAddDirectory();
    // OK: runs the checks and accepts only when they pass.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillAlgorithms();
    void RemoveSelectedRows();
    // Makes the list show the logic's paths and selection.
    void ShowPaths();

    QTreeWidget* list_ = nullptr;
    QCheckBox* subdirs_ = nullptr;
    QComboBox* algorithm_ = nullptr;
    QPushButton* addFiles_ = nullptr;
    QPushButton* addDirectory_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool centred_ = false;
    bool syncing_ = false;  // set while the list is made to show the logic's state
    CQmNewTaskDialogLogic logic_;
};

}  // namespace qm
