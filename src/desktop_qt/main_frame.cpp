// The main window (see main_frame.h).
#include "desktop_qt/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHelpEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QRegularExpression>
#include <QShortcut>
#include <QStatusBar>
#include <QScreen>
#include <QSizeGrip>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include <algorithm>
#include <utility>

#include "desktop/command_ids.h"
#include "desktop/frame_resources.h"
#include "common/path_util.h"
#include "common/system_info.h"
#include "document/task_texts.h"
#include "desktop_qt/about_dlg.h"
#include "desktop_qt/gui_resources.h"
#include "desktop_qt/new_hash_dlg.h"
#include "desktop_qt/qt_prompts.h"
#include "desktop_qt/quorvia_view.h"

namespace qm {

namespace {

QString ToQString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

// Set on the toolbar buttons whose command string has no tooltip part.
constexpr char kNoTooltipProperty[] = "qmNoTooltip";

// Pane widths at 96 dots per inch.
constexpr int kProgressPaneWidth = 380;
constexpr int kTotalsPaneWidth = 500;

// What assistive technologies call the panes while they show nothing, and
// always as their description: the shown text is the name otherwise.
constexpr char16_t kPaneNames[3][5] = {u"状态提示", u"任务进度", u"文件统计"};

// Pixels at 96 dots per inch on the screen of `widget`.
int ScaledPixels(const QWidget& widget, int pixels) {
    return static_cast<int>(pixels * (widget.logicalDpiX() / 96.0) + 0.5);
}

// A menu or button label as read out: without its mnemonic ("新建(&N)",
// "&Save"), with "&&" as "&" and without a trailing ellipsis.
QString PlainLabel(QString text) {
    static const QRegularExpression mnemonicGroup(QStringLiteral("\\(&[^&]\\)"));
    text.remove(mnemonicGroup);
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) ++i;
        plain += text[i];
    }
    if (plain.endsWith(QStringLiteral("..."))) plain.chop(3);
    return plain.trimmed();
}

// A status-bar pane of fixed width: its width at 96 dots per inch, and no
// less than its longest text needs in its font, so neither a larger font
// nor a higher logical resolution cuts that text off. Widths are in logical
// pixels, which a device pixel ratio scales by itself.
class CQmPaneLabel final : public QLabel {
public:
    CQmPaneLabel(int baseWidth, QString longestText, QWidget* parent)
        : QLabel(parent), baseWidth_(baseWidth), longestText_(std::move(longestText)) {
        setTextFormat(Qt::PlainText);
        ApplyWidth();
    }

protected:
    void changeEvent(QEvent* event) override {
        QLabel::changeEvent(event);
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) ApplyWidth();
    }

private:
    void ApplyWidth() {
        if (baseWidth_ == 0) return;
        const QFontMetrics metrics = fontMetrics();
        const QMargins margins = contentsMargins();
        // A space's width more, so the text never touches the next pane.
        const int needed = metrics.horizontalAdvance(longestText_) + metrics.horizontalAdvance(QLatin1Char(' ')) +
                           margins.left() + margins.right() + 2 * margin();
        setFixedWidth(std::max(ScaledPixels(*this, baseWidth_), needed));
    }

    int baseWidth_;  // 0: the stretching pane
    QString longestText_;
};

QKeySequence ToKeySequence(const QmAccelerator& accelerator) {
    int key = 0;
    if (accelerator.key >= 'A' && accelerator.key <= 'Z') {
        key = Qt::Key_A + static_cast<int>(accelerator.key - 'A');
    } else {
        switch (accelerator.key) {
        case kVkInsert: key = Qt::Key_Insert; break;
        case kVkDelete: key = Qt::Key_Delete; break;
        case kVkF3: key = Qt::Key_F3; break;
        case kVkF6: key = Qt::Key_F6; break;
        case kVkF8: key = Qt::Key_F8; break;
        default: return {};
        }
    }
    Qt::KeyboardModifiers modifiers;
    if (accelerator.modifiers & kAccelCtrl) modifiers |= Qt::ControlModifier;
    if (accelerator.modifiers & kAccelShift) modifiers |= Qt::ShiftModifier;
    return QKeySequence(QKeyCombination(modifiers, static_cast<Qt::Key>(key)));
}

// The local files among dropped URLs; other URLs are ignored.
std::vector<std::u16string> LocalPaths(const QMimeData* data) {
    std::vector<std::u16string> paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        const QString file = url.toLocalFile();
        if (!file.isEmpty()) paths.push_back(NormalizePath(file.toStdU16String()));
    }
    return paths;
}

}  // namespace

CMainFrame::CMainFrame(CMainFrameOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)), notifyTarget_(this) {
    // Registered here, on the GUI thread, before any worker can post.
    CQmNotifyEvent::EventType();
    setWindowIcon(AppIcon());

    BuildStatusBar();
    BuildToolBar();
    BuildMenu();
    NameToolbarButtons();
    BuildAccelerators();
    view_ = new CQuorviaView(this);
    setCentralWidget(view_);
    // The list view's message is posted, like the workers' are.
    connect(view_, &CQuorviaView::totalsChanged, this,
            [this] { logic_->OnNotify(WMU_UPDATE_TOTALS, 0, 0); }, Qt::QueuedConnection);
    // Verify and remove end in the frame, as posted commands.
    connect(view_, &CQuorviaView::itemCommandDone, this, [this](uint32_t id) { PostCommand(id); });
    connect(view_, &CQuorviaView::listReady, this, [this] { logic_->OnNotify(WMU_LIST_READY, 0, 0); },
            Qt::QueuedConnection);

    progressTimer_.setTimerType(Qt::CoarseTimer);
    connect(&progressTimer_, &QTimer::timeout, this, [this] { logic_->OnProgressTick(); });

    IQmFrameHost& host = *this;
    logic_ = std::make_unique<CQmFrameLogic>(host, view_->FileList(), &notifyTarget_);
    // The system's default size for a new main window: three quarters of
    // the screen's free area each way.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) resize(screen->availableSize() * 3 / 4);

    logic_->OnCreate(options_.arguments);
}

CMainFrame::~CMainFrame() {
    // The runner waits for its threads; their last messages are posted to
    // this window, which still exists, and are dropped with it.
    logic_.reset();
}

QAction* CMainFrame::MakeAction(uint32_t id) {
    auto found = actions_.find(id);
    if (found != actions_.end()) return found->second;
    auto* action = new QAction(this);
    action->setData(id);
    action->setIconVisibleInMenu(false);
    const std::u16string_view prompt = GetCommandPrompt(id);
    if (!prompt.empty()) action->setStatusTip(ToQString(prompt));
    connect(action, &QAction::triggered, this, [this, id] { logic_->OnCommand(id); });
    actions_.emplace(id, action);
    return action;
}

QAction* CMainFrame::Action(uint32_t id) const {
    const auto found = actions_.find(id);
    return found == actions_.end() ? nullptr : found->second;
}

void CMainFrame::BuildMenu() {
    menuBar()->setAccessibleName(QStringLiteral("菜单栏"));
    // Shown only when the bar is too narrow for its menus.
    if (QWidget* more = menuBar()->findChild<QWidget*>(QStringLiteral("qt_menubar_ext_button"))) {
        more->setAccessibleName(QStringLiteral("更多菜单"));
    }
    for (const QmMenuPopup& popup : GetMainMenu()) {
        QMenu* menu = menuBar()->addMenu(ToQString(popup.text));
        // An open popup is named by its title, as its entry in the bar is.
        menu->setAccessibleName(PlainLabel(menu->title()));
        for (const QmMenuItem& item : popup.items) {
            if (item.id == 0) {
                menu->addSeparator();
                continue;
            }
            const QmMenuText text = SplitMenuText(item.text);
            QAction* action = MakeAction(item.id);
            action->setText(ToQString(text.label));
            if (!text.shortcut.empty()) {
                // Shown in the shortcut column only; the keys themselves are
                // the accelerators, which reach the command whatever state
                // its menu item is in.
                action->setShortcut(QKeySequence(ToQString(text.shortcut), QKeySequence::PortableText));
                action->setShortcutContext(Qt::WidgetShortcut);
            }
            menu->addAction(action);
        }
    }
    for (uint32_t id : {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, ID_VIEW_TOPMOST}) Action(id)->setCheckable(true);
}

void CMainFrame::BuildToolBar() {
    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("toolbar"));
    toolBar_->setWindowTitle(QStringLiteral("工具栏"));
    toolBar_->setAccessibleName(QStringLiteral("工具栏"));
    if (QWidget* more = toolBar_->findChild<QWidget*>(QStringLiteral("qt_toolbar_ext_button"))) {
        more->setAccessibleName(QStringLiteral("更多工具"));
    }
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolBar_->toggleViewAction()->setVisible(false);
    addToolBar(Qt::TopToolBarArea, toolBar_);
    for (const QmToolbarEntry& entry : GetToolbar()) {
        if (entry.id == 0) {
            // The gaps keep their own widths (the style's would make both
            // the same).
            QAction* separator = toolBar_->addSeparator();
            if (QWidget* gap = toolBar_->widgetForAction(separator)) {
                gap->setFixedWidth(ScaledPixels(*this, entry.width));
            }
            continue;
        }
        QAction* action = MakeAction(entry.id);
        action->setIcon(ToolbarIcon(entry.imageIndex));
        if (action->text().isEmpty()) action->setText(ToQString(GetCommandPrompt(entry.id)));
        const std::u16string_view tooltip = GetCommandTooltip(entry.id);
        // A string without a tooltip part gives the button none (the filter
        // below stops Qt's fallback on the action's text).
        if (!tooltip.empty()) action->setToolTip(ToQString(tooltip));
        toolBar_->addAction(action);
        // The filter keeps the button's prompt out of the status bar, which
        // shows prompts for menu items only, and drops the fallback tooltip.
        if (QWidget* button = toolBar_->widgetForAction(action)) {
            button->setProperty(kNoTooltipProperty, tooltip.empty());
            button->installEventFilter(this);
        }
        if (entry.hidden) action->setVisible(false);
    }
}

// Once the menu gave the actions their labels: a button is read out as its
// tooltip says, or as its menu item without the mnemonic (a button takes no
// letter keys).
void CMainFrame::NameToolbarButtons() {
    for (QAction* action : toolBar_->actions()) {
        if (action->isSeparator()) continue;
        QWidget* button = toolBar_->widgetForAction(action);
        if (!button) continue;
        const std::u16string_view tooltip = GetCommandTooltip(action->data().toUInt());
        button->setAccessibleName(tooltip.empty() ? PlainLabel(action->text()) : ToQString(tooltip));
    }
}

void CMainFrame::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setAccessibleName(QStringLiteral("状态栏"));
    bar->setSizeGripEnabled(true);
    if (auto* grip = bar->findChild<QSizeGrip*>()) grip->setAccessibleName(QStringLiteral("调整窗口大小"));
    panes_[kPaneDefault] = new CQmPaneLabel(0, {}, bar);
    panes_[kPaneProgress] = new CQmPaneLabel(kProgressPaneWidth, ToQString(GetLongestProgressText()), bar);
    panes_[kPaneTotals] = new CQmPaneLabel(kTotalsPaneWidth, ToQString(GetLongestTotalsText()), bar);
    for (int pane = 0; pane < 3; ++pane) {
        panes_[pane]->setAccessibleName(ToQString(kPaneNames[pane]));
        panes_[pane]->setAccessibleDescription(ToQString(kPaneNames[pane]));
    }
    bar->addWidget(panes_[kPaneDefault], 1);
    bar->addPermanentWidget(panes_[kPaneProgress]);
    bar->addPermanentWidget(panes_[kPaneTotals]);
}

void CMainFrame::BuildAccelerators() {
    for (const QmAccelerator& accelerator : GetAccelerators()) {
        auto* shortcut = new QShortcut(ToKeySequence(accelerator), this);
        shortcut->setContext(Qt::WindowShortcut);
        const uint32_t id = accelerator.id;
        connect(shortcut, &QShortcut::activated, this, [this, id] { logic_->OnCommand(id); });
        // Two keys for one command are not ambiguous.
        connect(shortcut, &QShortcut::activatedAmbiguously, this, [this, id] { logic_->OnCommand(id); });
    }
}

QString CMainFrame::PaneText(int pane) const {
    return pane >= 0 && pane < 3 ? panes_[pane]->text() : QString();
}

bool CMainFrame::IsStayOnTop() const { return windowFlags().testFlag(Qt::WindowStaysOnTopHint); }

bool CMainFrame::event(QEvent* event) {
    if (event->type() == CQmNotifyEvent::EventType()) {
        const auto* notify = static_cast<CQmNotifyEvent*>(event);
        logic_->OnNotify(notify->message(), notify->wParam(), notify->lParam());
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!logic_->QueryClose()) {
        event->ignore();
        return;
    }
    event->accept();
    emit closed();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!LocalPaths(event->mimeData()).empty()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    std::vector<std::u16string> paths = LocalPaths(event->mimeData());
    if (paths.empty()) return;
    event->acceptProposedAction();
    logic_->OnDropFiles(std::move(paths));
}

// Watches the toolbar buttons only.
bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::StatusTip) return true;
    if (event->type() == QEvent::ToolTip && watched->property(kNoTooltipProperty).toBool()) return true;
    return QMainWindow::eventFilter(watched, event);
}

// --- IQmFrameHost ---------------------------------------------------------

QmWindow CMainFrame::GetOwnerWindow() { return ToOwner(this); }

void CMainFrame::SetTitle(std::u16string_view title) { setWindowTitle(ToQString(title)); }

void CMainFrame::SetPaneText(int pane, std::u16string_view text) {
    if (pane < 0 || pane >= 3) return;
    QLabel* label = panes_[pane];
    // A pane that shows something is read out by that text (the label's
    // own name, which follows each change); an empty one by what it is.
    if (text.empty()) {
        label->clear();
        label->setAccessibleName(ToQString(kPaneNames[pane]));
    } else {
        label->setAccessibleName(QString());
        label->setText(ToQString(text));
    }
}

void CMainFrame::SetCommandState(uint32_t id, bool enabled, bool checked) {
    QAction* action = MakeAction(id);
    action->setEnabled(enabled);
    if (action->isCheckable()) action->setChecked(checked);
}

bool CMainFrame::RunNewTaskDialog(const std::vector<std::u16string>& initialPaths, QmNewTaskChoice& choice) {
    if (options_.newTaskDialog) return options_.newTaskDialog(*this, initialPaths, choice);
    QWidget* owner = QApplication::activeWindow() ? QApplication::activeWindow() : this;
    CQmNewHashDlg dialog(initialPaths, owner);
    newTaskDialog_ = &dialog;
    const int result = dialog.exec();
    newTaskDialog_ = nullptr;
    if (result != QDialog::Accepted) return false;
    choice.algorithmId = dialog.GetAlgorithmId();
    choice.recurseSubdirectories = dialog.GetRecurseSubdirectories();
    choice.chosenPaths = dialog.GetChosenPaths();
    choice.commonRoot = dialog.GetCommonRoot();
    return true;
}

void CMainFrame::AddToNewTaskDialog(std::span<const std::u16string> paths) {
    if (newTaskDialog_) newTaskDialog_->AddChosenPaths(paths);
}

void CMainFrame::RunAboutBox() {
    if (options_.aboutBox) {
        options_.aboutBox(*this);
        return;
    }
    QWidget* owner = QApplication::activeWindow() ? QApplication::activeWindow() : this;
    CAboutDlg dialog(owner);
    dialog.exec();
}

bool CMainFrame::IsToolbarVisible() { return !toolBar_->isHidden(); }
void CMainFrame::SetToolbarVisible(bool visible) { toolBar_->setVisible(visible); }
bool CMainFrame::IsStatusBarVisible() { return !statusBar()->isHidden(); }
void CMainFrame::SetStatusBarVisible(bool visible) { statusBar()->setVisible(visible); }

void CMainFrame::SetStayOnTop(bool onTop) {
    if (IsStayOnTop() == onTop) return;
    // Changing a window flag re-creates the native window hidden and at a
    // default place: put back where, how large and in which state it was.
    const QRect geometry = this->geometry();
    const Qt::WindowStates state = windowState();
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    setGeometry(geometry);
    setWindowState(state);
    if (visible) show();
}

void CMainFrame::AcceptDrops() { setAcceptDrops(true); }

void CMainFrame::BringToFront() {
    raise();
    activateWindow();
}

void CMainFrame::StartProgressTimer(uint32_t periodMs) { progressTimer_.start(static_cast<int>(periodMs)); }
void CMainFrame::StopProgressTimer() { progressTimer_.stop(); }

void CMainFrame::PostCommand(uint32_t id) {
    QMetaObject::invokeMethod(this, [this, id] { logic_->OnCommand(id); }, Qt::QueuedConnection);
}

void CMainFrame::PostClose() { QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection); }

void CMainFrame::PlayCompletionSound() {
    if (options_.completionSound) {
        options_.completionSound();
        return;
    }
    if (!sound_) sound_ = std::make_unique<CQmCompletionSound>();
    sound_->Play();
}

void CMainFrame::CreateTaskbarProgress() { taskbar_.CreateProgress(kDesktopFileId); }
void CMainFrame::SetTaskbarProgressState(uint32_t flags) { taskbar_.SetProgressState(flags); }
void CMainFrame::SetTaskbarProgressValue(uint64_t done, uint64_t total) { taskbar_.SetProgressValue(done, total); }

uint64_t CMainFrame::GetTickCount() { return options_.clock ? options_.clock() : QueryTickCount64(); }

}  // namespace qm
