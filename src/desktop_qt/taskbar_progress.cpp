// Launcher progress over the session bus.
#include "desktop_qt/taskbar_progress.h"

#include <algorithm>
#include <atomic>

#include <QDBusError>
#include <QDBusMessage>
#include <QFileInfo>
#include <QtGlobal>

#include "common/error_record.h"

namespace qm {

namespace {

constexpr char16_t kCreateFailedText[] = u"创建任务栏对象实例失败:%s";
constexpr char16_t kSetFailedText[] = u"设置任务栏进度状态失败:%s";
constexpr char16_t kNotCreatedText[] = u"对象未初始化。";
constexpr char16_t kNoSessionBusText[] = u"找不到会话总线。";

// A session bus is announced by its address in the environment or by the
// per-user socket in the runtime directory. With neither there is none to
// reach (a console login, a container, a test run), and asking Qt would only
// start its bus thread and have libdbus try to launch a bus for us.
bool SessionBusAnnounced() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

std::u16string ReasonOf(const QDBusError& error) {
    QString text = error.message();
    if (text.isEmpty()) text = error.name();
    if (text.isEmpty()) text = QStringLiteral("D-Bus");
    return text.toStdU16String();
}

// Every private connection needs a name of its own within the process.
QString NextConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("quorvia-launcher-%1").arg(counter.fetch_add(1) + 1);
}

}  // namespace

CQmTaskbarProgress::CQmTaskbarProgress(QString busAddress) : busAddress_(std::move(busAddress)) {}

CQmTaskbarProgress::~CQmTaskbarProgress() {
    // A launcher keeps the last progress it was sent; leaving it visible
    // after the program is gone would show a task that no longer runs.
    if (bus_ && state_ != TBPF_NOPROGRESS) {
        PreserveLastError keep;
        EmitUpdate({{QStringLiteral("progress-visible"), false}});
    }
    Release();
}

void CQmTaskbarProgress::Release() {
    bus_.reset();
    if (!connectionName_.isEmpty()) {
        QDBusConnection::disconnectFromBus(connectionName_);
        connectionName_.clear();
    }
}

bool CQmTaskbarProgress::CreateProgress(std::u16string desktopFileId) {
    Release();
    appUri_.clear();
    state_ = TBPF_NOPROGRESS;
    progress_ = 0.0;

    if (busAddress_.isEmpty() && !SessionBusAnnounced()) {
        SetErrorText(0, kCreateFailedText, kNoSessionBusText);
        return false;
    }
    if (!busAddress_.isEmpty()) connectionName_ = NextConnectionName();
    QDBusConnection bus = busAddress_.isEmpty() ? QDBusConnection::sessionBus()
                                                : QDBusConnection::connectToBus(busAddress_, connectionName_);
    if (!bus.isConnected()) {
        SetErrorText(0, kCreateFailedText, ReasonOf(bus.lastError()));
        Release();
        return false;
    }
    bus_.emplace(bus);
    appUri_ = QStringLiteral("application://") + QString::fromStdU16String(desktopFileId) +
              QStringLiteral(".desktop");
    return true;
}

bool CQmTaskbarProgress::EmitUpdate(const QVariantMap& properties) {
    if (!bus_) {
        SetErrorText(0, kSetFailedText, kNotCreatedText);
        return false;
    }
    QDBusMessage signal =
        QDBusMessage::createSignal(QLatin1String(kObjectPath), QLatin1String(kInterface), QStringLiteral("Update"));
    signal << appUri_ << properties;
    if (!bus_->isConnected() || !bus_->send(signal)) {
        SetErrorText(0, kSetFailedText, ReasonOf(bus_->lastError()));
        return false;
    }
    return true;
}

bool CQmTaskbarProgress::SetProgressState(uint32_t flags) {
    if (flags == TBPF_NOPROGRESS) {
        if (!EmitUpdate({{QStringLiteral("progress-visible"), false}})) return false;
    } else if (!EmitUpdate({{QStringLiteral("progress"), progress_}, {QStringLiteral("progress-visible"), true}})) {
        return false;
    }
    state_ = flags;
    return true;
}

bool CQmTaskbarProgress::SetProgressValue(uint64_t done, uint64_t total) {
    const double value =
        total == 0 ? 0.0 : std::clamp(static_cast<double>(done) / static_cast<double>(total), 0.0, 1.0);
    if (!EmitUpdate({{QStringLiteral("progress"), value}, {QStringLiteral("progress-visible"), true}})) return false;
    progress_ = value;
    if (state_ == TBPF_NOPROGRESS) state_ = TBPF_NORMAL;
    return true;
}

}  // namespace qm
