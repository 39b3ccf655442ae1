// Progress on the program's launcher (dock or task bar entry) while a task
// hashes.
//
// Desktops show it from the launcher-entry signal on the session bus: an
// `Update` of interface com.canonical.Unity.LauncherEntry naming the
// program's desktop file ("application://quorvia.desktop") with the
// properties "progress" (0…1) and "progress-visible". Failures are recorded
// in the thread's error record and never shown: the progress is a courtesy,
// the caller goes on without it.
//
// User-interface thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <QDBusConnection>
#include <QString>
#include <QVariantMap>

namespace qm {

// Progress states, with the values of the platform the states come from.
inline constexpr uint32_t TBPF_NOPROGRESS = 0;
inline constexpr uint32_t TBPF_NORMAL = 2;

class CQmTaskbarProgress {
public:
    // The object path our signals carry.
    static constexpr const char* kObjectPath = "/org/quorvia/LauncherEntry";
    static constexpr const char* kInterface = "com.canonical.Unity.LauncherEntry";

    // `busAddress` empty: the user's session bus. Tests pass the address of
    // a bus of their own.
    explicit CQmTaskbarProgress(QString busAddress = {});
    // Takes the progress off the launcher if it is still shown.
    ~CQmTaskbarProgress();
    CQmTaskbarProgress(const CQmTaskbarProgress&) = delete;
    CQmTaskbarProgress& operator=(const CQmTaskbarProgress&) = delete;

    // Connects to the bus for the launcher of `desktopFileId` (the desktop
    // file's name without ".desktop"), dropping any earlier connection.
    // Without a bus records "创建任务栏对象实例失败:<reason>" and returns false.
    bool CreateProgress(std::u16string desktopFileId);
    // TBPF_NOPROGRESS hides the progress; any other state shows it with the
    // last value.
    bool SetProgressState(uint32_t flags);
    // Shows done / total (0 when total is 0). As on the platform the states
    // come from, a value set while no progress is shown switches to normal.
    bool SetProgressValue(uint64_t done, uint64_t total);

    bool IsCreated() const { return bus_.has_value(); }
    // "application://<id>.desktop"; empty before CreateProgress.
    const QString& GetAppUri() const { return appUri_; }

private:
    bool EmitUpdate(const QVariantMap& properties);
    void Release();

    QString busAddress_;
    QString connectionName_;                // our private connection, when busAddress_ is set
    std::optional<QDBusConnection> bus_;    // set while created
    QString appUri_;
    uint32_t state_ = TBPF_NOPROGRESS;
    double progress_ = 0.0;
};

}  // namespace qm
