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

CQmNewHashDlg::CQmNewHashDlg(std::vector<std::u16string> initialPaths, QWidget* parent)
    : QDialog(parent), logic_(initialPaths) {
    setWindowTitle(ToQString(kNewTaskTitle));
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

    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (syncing_) return;
        for (int i = 0; i < list_->topLevelItemCount(); ++i) {
            logic_.SetPathSelected(static_cast<size_t>(i), list_->topLevelItem(i)->isSelected());
        }
    });
    ShowPaths();

    FillAlgorithms();
    subdirs_->setChecked(CQmNewTaskDialogLogic::GetInitialRecurse());

    const QSize first = QSize(kInitialWidth, kInitialHeight).expandedTo(sizeHint());
    resize(first);
    setMinimumSize(first);
}

void CQmNewHashDlg::FillAlgorithms() {
    for (const std::u16string& name : CQmNewTaskDialogLogic::GetAlgorithmNames()) algorithm_->addItem(ToQString(name));
    algorithm_->setCurrentIndex(CQmNewTaskDialogLogic::GetInitialAlgorithmIndex());
}

void CQmNewHashDlg::ShowPaths() {
    syncing_ = true;
    // Rows are only ever appended or removed; the ones that are there stay.
    const auto count = static_cast<int>(logic_.GetPathCount());
    while (list_->topLevelItemCount() > count) delete list_->takeTopLevelItem(list_->topLevelItemCount() - 1);
    for (int i = 0; i < count; ++i) {
        const std::u16string& path = logic_.GetPath(static_cast<size_t>(i));
        const QString text = ToQString(path);
        QTreeWidgetItem* item = list_->topLevelItem(i);
        if (!item) {
            item = new QTreeWidgetItem;
            list_->addTopLevelItem(item);
        }
        if (item->text(0) != text) {
            item->setText(0, text);
            item->setIcon(0, GetIconList().GetIcon(GetFileIconIndex(path)));
            item->setToolTip(0, text);
        }
        item->setSelected(logic_.IsPathSelected(static_cast<size_t>(i)));
    }
    syncing_ = false;
}

int CQmNewHashDlg::AddPath(std::u16string_view path, bool select) {
    const size_t row = logic_.AddPath(path, select);
    ShowPaths();
    return static_cast<int>(row);
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
    AddChosenPaths(paths);
    return true;
}

void CQmNewHashDlg::AddChosenPaths(std::span<const std::u16string> paths) {
    logic_.AddChosenPaths(paths);
    ShowPaths();
}

void CQmNewHashDlg::OnAddFiles() {
    if (logic_.AddFiles(ToOwner(this))) ShowPaths();
}

void CQmNewHashDlg::OnAddDirectory() {
    if (logic_.AddDirectory(ToOwner(this))) ShowPaths();
}

void CQmNewHashDlg::accept() {
    const bool ok = logic_.OnOk(ToOwner(this), algorithm_->currentText().toStdU16String(), subdirs_->isChecked());
    ShowPaths();
    if (ok) QDialog::accept();
}

void CQmNewHashDlg::RemoveSelectedRows() {
    logic_.RemoveSelected();
    // Rows go from anywhere in the list, so it is made again.
    syncing_ = true;
    list_->clear();
    syncing_ = false;
    ShowPaths();
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
