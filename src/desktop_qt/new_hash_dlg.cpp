// The new-task dialog.
#include "desktop_qt/new_hash_dlg.h"

#include <iterator>

#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSizeGrip>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "common/user_prompts.h"
#include "document/quorvia_doc.h"
#include "engines/hash_catalog.h"
#include "desktop_qt/icon_cache.h"
#include "desktop_qt/qt_prompts.h"

namespace qm {

namespace {

// The dialog's first size; it can grow but never shrink below it.
constexpr int kInitialWidth = 720;
constexpr int kInitialHeight = 420;
// The class id preselected when the document's algorithm is unknown.
constexpr int32_t kFallbackClassId = 5;

constexpr char16_t kAddFilesTitle[] = u"添加文件";
constexpr char16_t kAddDirectoryTitle[] = u"请选择需要计算文件检验的目录:";
// Filter pairs, NUL-separated, with the closing empty entry.
constexpr char16_t kAddFilesFilterChars[] = u"光盘镜像文件(*.iso)\0*.iso\0所有文件(*.*)\0*.*\0";
constexpr std::u16string_view kAddFilesFilter{kAddFilesFilterChars, std::size(kAddFilesFilterChars)};

QString ToQString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

}  // namespace

CQmNewHashDlg::CQmNewHashDlg(std::vector<std::u16string> initialPaths, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("新建校验任务"));
    setAcceptDrops(true);
    setSizeGripEnabled(true);
    if (auto* grip = findChild<QSizeGrip*>()) grip->setAccessibleName(QStringLiteral("调整窗口大小"));

    list_ = new QTreeWidget(this);
    list_->setColumnCount(1);
    list_->setHeaderLabels({QStringLiteral("文件路径")});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setTextElideMode(Qt::ElideMiddle);
    list_->header()->setStretchLastSection(true);
    list_->installEventFilter(this);
    // Named as its one column is headed.
    list_->setAccessibleName(QStringLiteral("文件路径"));

    subdirs_ = new QCheckBox(QStringLiteral("枚举子目录"), this);
    auto* algorithmLabel = new QLabel(QStringLiteral("算法类型："), this);
    algorithm_ = new QComboBox(this);
    algorithm_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    algorithmLabel->setBuddy(algorithm_);
    // The label names the list (a combo box's own name would be the
    // algorithm chosen).
    algorithm_->setAccessibleName(QStringLiteral("算法类型"));
    addFiles_ = new QPushButton(QStringLiteral("添加文件(&A)"), this);
    addDirectory_ = new QPushButton(QStringLiteral("添加目录(&D)"), this);
    ok_ = new QPushButton(QStringLiteral("确定"), this);
    cancel_ = new QPushButton(QStringLiteral("取消"), this);
    ok_->setDefault(true);
    // Only OK is the default: the add buttons would otherwise take Enter once
    // they had the focus.
    for (QPushButton* button : {addFiles_, addDirectory_, cancel_}) button->setAutoDefault(false);

    // The list takes every size change; the row below keeps its distance to
    // the bottom-right corner, as the leading stretch pushes it right.
    auto* controls = new QHBoxLayout;
    controls->addStretch(1);
    controls->addWidget(subdirs_);
    controls->addSpacing(12);
    controls->addWidget(algorithmLabel);
    controls->addWidget(algorithm_);
    controls->addSpacing(12);
    controls->addWidget(addFiles_);
    controls->addWidget(addDirectory_);
    controls->addWidget(ok_);
    controls->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(controls);

    connect(addFiles_, &QPushButton::clicked, this, &CQmNewHashDlg::OnAddFiles);
    connect(addDirectory_, &QPushButton::clicked, this, &CQmNewHashDlg::OnAddDirectory);
    connect(ok_, &QPushButton::clicked, this, &CQmNewHashDlg::accept);
    connect(cancel_, &QPushButton::clicked, this, &CQmNewHashDlg::reject);

    for (const std::u16string& path : initialPaths) AddPath(path, false);
    initialPaths.clear();

    FillAlgorithms();
    subdirs_->setChecked(GetQuorviaDoc().GetIncludeSubdirs());

    const QSize first = QSize(kInitialWidth, kInitialHeight).expandedTo(sizeHint());
    resize(first);
    setMinimumSize(first);
}

void CQmNewHashDlg::FillAlgorithms() {
    const CQmHashCatalog& catalog = GetHashCatalog();
    for (int i = 0; i < catalog.GetCount(); ++i) {
        const HashClassEntry* entry = catalog.GetAt(i);
        algorithm_->addItem(entry ? QString::fromUtf16(entry->name) : QString());
    }
    // IndexOf records the failure text for an id it does not know, so an
    // unknown algorithm and a missing SHA1 each leave their own record.
    int index = catalog.IndexOf(GetQuorviaDoc().GetAlgorithm());
    if (index < 0) index = catalog.IndexOf(kFallbackClassId);
    algorithm_->setCurrentIndex(index);
}

int CQmNewHashDlg::AddPath(std::u16string_view path, bool select) {
    const QString text = ToQString(path);
    QTreeWidgetItem* item = nullptr;
    int row = -1;
    // Linux file systems tell letter case apart, so only an exact match is the
    // same path.
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        if (list_->topLevelItem(i)->text(0) == text) {
            item = list_->topLevelItem(i);
            row = i;
            break;
        }
    }
    if (!item) {
        item = new QTreeWidgetItem(QStringList{text});
        item->setIcon(0, GetIconList().GetIcon(GetFileIconIndex(path)));
        item->setToolTip(0, text);
        row = list_->topLevelItemCount();
        list_->addTopLevelItem(item);
    }
    if (select) item->setSelected(true);
    return row;
}

bool CQmNewHashDlg::AddDroppedUrls(const QList<QUrl>& urls) {
    std::vector<std::u16string> paths;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) continue;
        QString path = url.toLocalFile();
        if (!path.isEmpty()) paths.push_back(path.toStdU16String());
    }
    // A drop of nothing usable leaves the selection as it was.
    if (paths.empty()) return false;
    list_->clearSelection();
    for (const std::u16string& path : paths) AddPath(path, true);
    return true;
}

void CQmNewHashDlg::OnAddFiles() {
    std::u16string buffer;
    int filterIndex = 2;
    if (!ShowFileDialog(ToOwner(this), QmFileDialogMode::Open, kAddFilesTitle, kAddFilesFilter, &filterIndex, true,
                        buffer)) {
        return;
    }
    list_->clearSelection();
    for (const std::u16string& path : SplitMultiSelection(buffer)) AddPath(path, true);
}

void CQmNewHashDlg::OnAddDirectory() {
    std::u16string path;
    if (!BrowseForFolder(ToOwner(this), kAddDirectoryTitle, path)) return;
    list_->clearSelection();
    AddPath(path, true);
}

std::vector<std::u16string> CQmNewHashDlg::ListedPaths() const {
    std::vector<std::u16string> paths;
    paths.reserve(static_cast<size_t>(list_->topLevelItemCount()));
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        paths.push_back(list_->topLevelItem(i)->text(0).toStdU16String());
    }
    return paths;
}

void CQmNewHashDlg::accept() {
    algorithmId_ = GetHashCatalog().FindByName(algorithm_->currentText().toStdU16String());
    recurseSubdirectories_ = subdirs_->isChecked();
    chosenPaths_.clear();
    commonRoot_.clear();
    list_->clearSelection();

    const std::vector<std::u16string> paths = ListedPaths();
    QmTaskPathCheck check = CheckTaskPaths(paths);
    switch (check.status) {
    case QmTaskPathStatus::NoPaths:
        ShowMessage(ToOwner(this), MB_ICONERROR, kNoTaskPathsText);
        return;
    case QmTaskPathStatus::MissingPaths:
        for (size_t index : check.missing) {
            if (QTreeWidgetItem* item = list_->topLevelItem(static_cast<int>(index))) item->setSelected(true);
        }
        ShowMessage(ToOwner(this), MB_ICONERROR, FormatMissingPaths(paths, check.missing, u"\r\n", true));
        return;
    case QmTaskPathStatus::NoCommonRoot:
        ShowMessage(ToOwner(this), MB_ICONINFORMATION, kNoCommonRootText);
        return;
    case QmTaskPathStatus::Ok:
        break;
    }
    chosenPaths_ = std::move(check.chosen);
    commonRoot_ = std::move(check.commonRoot);
    QDialog::accept();
}

void CQmNewHashDlg::RemoveSelectedRows() {
    // Deleting an item takes it out of the list; deleting from the end keeps
    // the remaining indexes valid.
    for (int i = list_->topLevelItemCount() - 1; i >= 0; --i) {
        if (list_->topLevelItem(i)->isSelected()) delete list_->takeTopLevelItem(i);
    }
}

bool CQmNewHashDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        RemoveSelectedRows();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CQmNewHashDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!centred_) {
        centred_ = true;
        CentreOverOwner(this, parentWidget());
    }
}

void CQmNewHashDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        for (const QUrl& url : event->mimeData()->urls()) {
            if (url.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
        }
    }
    event->ignore();
}

void CQmNewHashDlg::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasUrls() || !AddDroppedUrls(event->mimeData()->urls())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

}  // namespace qm
