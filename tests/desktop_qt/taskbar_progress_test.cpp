// Launcher-entry progress: the failure texts without a bus, and the signals
// a listener on a private session bus receives.
#include "desktop_qt/taskbar_progress.h"

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QVariantMap>

#include <cstdlib>
#include <memory>
#include <vector>

#include "common/error_record.h"
#include "support/temp_dir.h"
#include "desktop_qt/gui_resources.h"

namespace {


// A dbus-daemon of our own, listening on a socket in a temporary directory.
class PrivateBus {
public:
    bool Start() {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (program.isEmpty()) return false;
        const QString socket = QString::fromStdString((dir_ / "bus").string());
        process_.start(program, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                 QStringLiteral("--address=unix:path=") + socket, QStringLiteral("--print-address")});
        // The daemon prints its address once it listens.
        if (!process_.waitForStarted(10000) || !process_.waitForReadyRead(10000)) return false;
        address_ = QString::fromUtf8(process_.readLine()).trimmed();
        return !address_.isEmpty();
    }
    void Stop() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();
        process_.waitForFinished(10000);
    }
    ~PrivateBus() { Stop(); }

    const QString& address() const { return address_; }

private:
    qm::test::TempDir dir_;
    QProcess process_;
    QString address_;
};

// One connection to the private bus under a name of its own, closed again
// (the listener of the signals).
class BusConnection {
public:
    BusConnection(const QString& address, const QString& name)
        : name_(name), bus_(QDBusConnection::connectToBus(address, name)) {}
    ~BusConnection() { QDBusConnection::disconnectFromBus(name_); }
    QDBusConnection& get() { return bus_; }

private:
    QString name_;
    QDBusConnection bus_;
};

}  // namespace

// Records every launcher-entry signal it is sent.
class UpdateListener : public QObject {
    Q_OBJECT

public:
    std::vector<QDBusMessage> received;

public slots:
    void OnUpdate(const QDBusMessage& message) { received.push_back(message); }
};

namespace qm {
namespace {

struct Update {
    QString appUri;
    QVariantMap properties;
};

Update Decode(const QDBusMessage& message) {
    Update update;
    const QList<QVariant> args = message.arguments();
    if (args.size() != 2) return update;
    update.appUri = args[0].toString();
    const QDBusArgument map = args[1].value<QDBusArgument>();
    map >> update.properties;
    return update;
}

// The test programs start without a session bus address and with an empty
// runtime directory of their own.
TEST(TaskbarProgressTest, WithoutAnyAnnouncedBusNothingIsAskedOfQt) {
    ASSERT_TRUE(qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"));
    CQmTaskbarProgress progress;
    EXPECT_FALSE(progress.CreateProgress(kDesktopFileId));
    EXPECT_EQ(GetLastErrorText(), u"创建任务栏对象实例失败:找不到会话总线。");
    EXPECT_FALSE(progress.IsCreated());
    EXPECT_FALSE(progress.SetProgressState(TBPF_NORMAL));
    EXPECT_EQ(GetLastErrorText(), u"设置任务栏进度状态失败:对象未初始化。");
}

TEST(TaskbarProgressTest, WithoutASessionBusEveryCallFailsWithItsText) {
    // An announced bus that is not there: Qt's own reason is passed on.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/quorvia-test/no-bus");
    CQmTaskbarProgress progress;
    EXPECT_FALSE(progress.CreateProgress(kDesktopFileId));
    const QString reason = QDBusConnection::sessionBus().lastError().message();
    ASSERT_FALSE(reason.isEmpty());
    EXPECT_EQ(GetLastErrorText(), u"创建任务栏对象实例失败:" + reason.toStdU16String());
    EXPECT_FALSE(progress.IsCreated());

    SetErrorText(0, u"earlier");
    EXPECT_FALSE(progress.SetProgressState(TBPF_NORMAL));
    EXPECT_EQ(GetLastErrorText(), u"设置任务栏进度状态失败:对象未初始化。");
    SetErrorText(0, u"earlier");
    EXPECT_FALSE(progress.SetProgressValue(1, 2));
    EXPECT_EQ(GetLastErrorText(), u"设置任务栏进度状态失败:对象未初始化。");
    SetErrorText(0, u"earlier");
    EXPECT_FALSE(progress.SetProgressState(TBPF_NOPROGRESS));
    EXPECT_EQ(GetLastErrorText(), u"设置任务栏进度状态失败:对象未初始化。");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

TEST(TaskbarProgressTest, NeverCreatedObjectFailsTheSameWay) {
    CQmTaskbarProgress progress;
    EXPECT_FALSE(progress.SetProgressValue(0, 0));
    EXPECT_EQ(GetLastErrorText(), u"设置任务栏进度状态失败:对象未初始化。");
}

class TaskbarProgressBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus_.Start()) GTEST_SKIP() << "dbus-daemon is not available";
        listener_ = std::make_unique<BusConnection>(bus_.address(), QStringLiteral("qm-listener"));
        ASSERT_TRUE(listener_->get().isConnected()) << listener_->get().lastError().message().toStdString();
        Listen();
    }
    void TearDown() override { listener_.reset(); }

    // Subscribes to the launcher-entry updates of our object path.
    void Listen() {
        ASSERT_TRUE(listener_->get().connect(QString(), QLatin1String(CQmTaskbarProgress::kObjectPath),
                                             QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                             QStringLiteral("Update"), &updates_,
                                             SLOT(OnUpdate(QDBusMessage))));
    }
    // Waits (on the signal's arrival, not on a timer) until `count` updates
    // have come.
    bool WaitFor(size_t count) {
        return QTest::qWaitFor([&] { return updates_.received.size() >= count; }, 10000);
    }
    Update At(size_t i) const { return Decode(updates_.received.at(i)); }

    PrivateBus bus_;
    std::unique_ptr<BusConnection> listener_;
    UpdateListener updates_;
};

TEST_F(TaskbarProgressBusTest, StatesAndValuesReachTheLauncherEntry) {
    CQmTaskbarProgress progress(bus_.address());
    ASSERT_TRUE(progress.CreateProgress(kDesktopFileId));
    EXPECT_EQ(progress.GetAppUri(), QStringLiteral("application://com.zantoria.Quorvia.desktop"));

    SetErrorText(0, u"untouched");
    EXPECT_TRUE(progress.SetProgressState(TBPF_NORMAL));
    EXPECT_TRUE(progress.SetProgressValue(1, 4));
    EXPECT_TRUE(progress.SetProgressValue(9, 4));  // more done than announced: full, not beyond
    EXPECT_TRUE(progress.SetProgressValue(7, 0));  // nothing selected: no division by zero
    EXPECT_TRUE(progress.SetProgressState(TBPF_NOPROGRESS));
    EXPECT_EQ(GetLastErrorText(), u"untouched");
    ASSERT_TRUE(WaitFor(5));

    const QDBusMessage& first = updates_.received[0];
    EXPECT_EQ(first.type(), QDBusMessage::SignalMessage);
    EXPECT_EQ(first.path(), QLatin1String(CQmTaskbarProgress::kObjectPath));
    EXPECT_EQ(first.signature(), QStringLiteral("sa{sv}"));
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(At(i).appUri, QStringLiteral("application://com.zantoria.Quorvia.desktop")) << i;

    EXPECT_EQ(At(0).properties.value(QStringLiteral("progress-visible")), QVariant(true));
    EXPECT_EQ(At(0).properties.value(QStringLiteral("progress")), QVariant(0.0));
    EXPECT_EQ(At(1).properties.value(QStringLiteral("progress")), QVariant(0.25));
    EXPECT_EQ(At(1).properties.value(QStringLiteral("progress-visible")), QVariant(true));
    EXPECT_EQ(At(2).properties.value(QStringLiteral("progress")), QVariant(1.0));
    EXPECT_EQ(At(3).properties.value(QStringLiteral("progress")), QVariant(0.0));
    EXPECT_EQ(At(4).properties, (QVariantMap{{QStringLiteral("progress-visible"), false}}));
    // The double and the bool go over the bus with their own types, which
    // docks check before they read them.
    EXPECT_EQ(At(1).properties.value(QStringLiteral("progress")).typeId(), QMetaType::Double);
    EXPECT_EQ(At(4).properties.value(QStringLiteral("progress-visible")).typeId(), QMetaType::Bool);
}

TEST_F(TaskbarProgressBusTest, AShownProgressIsTakenBackWhenTheObjectGoes) {
    {
        CQmTaskbarProgress progress(bus_.address());
        ASSERT_TRUE(progress.CreateProgress(kDesktopFileId));
        ASSERT_TRUE(progress.SetProgressValue(1, 2));
    }
    ASSERT_TRUE(WaitFor(2));
    EXPECT_EQ(At(0).properties.value(QStringLiteral("progress")), QVariant(0.5));
    EXPECT_EQ(At(1).properties, (QVariantMap{{QStringLiteral("progress-visible"), false}}));

    // A hidden progress is not hidden once more at destruction.
    {
        CQmTaskbarProgress progress(bus_.address());
        ASSERT_TRUE(progress.CreateProgress(kDesktopFileId));
        ASSERT_TRUE(progress.SetProgressState(TBPF_NORMAL));
        ASSERT_TRUE(progress.SetProgressState(TBPF_NOPROGRESS));
    }
    ASSERT_TRUE(WaitFor(4));
    // A marker sent after the objects are gone arrives after anything they
    // might still have sent, so the count below is final.
    BusConnection marker(bus_.address(), QStringLiteral("qm-marker"));
    QDBusMessage last = QDBusMessage::createSignal(QLatin1String(CQmTaskbarProgress::kObjectPath),
                                                   QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                   QStringLiteral("Update"));
    last << QStringLiteral("marker") << QVariantMap();
    ASSERT_TRUE(marker.get().send(last));
    ASSERT_TRUE(WaitFor(5));
    EXPECT_EQ(updates_.received.size(), 5u);
    EXPECT_EQ(At(4).appUri, QStringLiteral("marker"));
}

TEST_F(TaskbarProgressBusTest, ABusThatWentAwayIsReportedWithItsReason) {
    CQmTaskbarProgress progress(bus_.address());
    ASSERT_TRUE(progress.CreateProgress(kDesktopFileId));
    ASSERT_TRUE(progress.SetProgressState(TBPF_NORMAL));
    listener_.reset();
    bus_.Stop();
    // The emitter learns of the lost bus on its own connection's next
    // dispatch; wait for that (not for a timer) by trying until it fails.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !progress.SetProgressValue(1, 2); }, 10000));
    const std::u16string text = GetLastErrorText();
    EXPECT_EQ(text.substr(0, 12), u"设置任务栏进度状态失败:");
    EXPECT_GT(text.size(), 12u);  // with the bus's reason
    EXPECT_FALSE(progress.SetProgressState(TBPF_NOPROGRESS));
    EXPECT_EQ(GetLastErrorText().substr(0, 12), u"设置任务栏进度状态失败:");
}

}  // namespace
}  // namespace qm

#include "taskbar_progress_test.moc"
