// Showing files through the desktop's file manager, against a file manager
// the test runs itself on a private session bus, its fallback to opening the
// folder, the failure texts, and the clipboard.
#include "desktop_qt/shell_actions.h"

#include <sys/prctl.h>

#include <gtest/gtest.h>

#include <QByteArray>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMimeData>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QUrl>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "common/error_record.h"
#include "common/utf.h"
#include "support/temp_dir.h"
#include "desktop_qt/clipboard.h"

namespace {

constexpr char kFileManagerName[] = "org.freedesktop.FileManager1";
constexpr int kProcessTimeoutMs = 10000;

// A dbus-daemon of our own with a configuration of our own: it listens on a
// socket in a temporary directory and activates only the services the test
// puts into its service directory. It is killed with the test object, and
// by the kernel if the test program dies first.
class PrivateBus {
public:
    bool Start() {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (program.isEmpty()) return false;
        std::filesystem::create_directories(serviceDir());
        const std::string config =
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig>\n"
            "  <type>session</type>\n"
            "  <listen>unix:path=" + (dir_ / "bus").string() + "</listen>\n"
            "  <auth>EXTERNAL</auth>\n"
            "  <servicedir>" + serviceDir().string() + "</servicedir>\n"
            "  <policy context=\"default\">\n"
            "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
            "    <allow eavesdrop=\"true\"/>\n"
            "    <allow own=\"*\"/>\n"
            "  </policy>\n"
            "</busconfig>\n";
        const std::filesystem::path configFile = dir_.Write("bus.conf", config);
        process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        process_.start(program, {QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                                 QStringLiteral("--config-file=") + QString::fromStdString(configFile.string())});
        // The daemon prints its address once it listens.
        if (!process_.waitForStarted(kProcessTimeoutMs) || !process_.waitForReadyRead(kProcessTimeoutMs)) return false;
        address_ = QString::fromUtf8(process_.readLine()).trimmed();
        return !address_.isEmpty();
    }
    ~PrivateBus() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();
        process_.waitForFinished(kProcessTimeoutMs);
    }

    const QString& address() const { return address_; }
    std::filesystem::path serviceDir() const { return dir_ / "services"; }

private:
    qm::test::TempDir dir_;
    QProcess process_;
    QString address_;
};

// One connection of the test's own to the private bus, closed again.
class BusConnection {
public:
    BusConnection(const QString& address, const QString& name)
        : name_(name), bus_(QDBusConnection::connectToBus(address, name)) {}
    BusConnection(const BusConnection&) = delete;
    BusConnection& operator=(const BusConnection&) = delete;
    ~BusConnection() { QDBusConnection::disconnectFromBus(name_); }
    QDBusConnection& get() { return bus_; }

private:
    QString name_;
    QDBusConnection bus_;
};

// The private bus for the whole program, announced as the session bus
// before anything in the program asks Qt for the session bus (Qt connects
// to it once and keeps that connection).
class SessionBusEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        bus_ = std::make_unique<PrivateBus>();
        if (!bus_->Start()) {
            bus_.reset();
            return;
        }
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus_->address().toUtf8());
        control_ = std::make_unique<BusConnection>(bus_->address(), QStringLiteral("qm-test-control"));
    }
    void TearDown() override {
        control_.reset();
        bus_.reset();
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    }

    PrivateBus* bus() { return bus_.get(); }
    // Makes the daemon read its service directory again.
    bool ReloadConfig() {
        QDBusMessage reply = control_->get().interface()->call(QStringLiteral("ReloadConfig"));
        return reply.type() == QDBusMessage::ReplyMessage;
    }

private:
    std::unique_ptr<PrivateBus> bus_;
    std::unique_ptr<BusConnection> control_;
};

SessionBusEnvironment* const g_session =
    static_cast<SessionBusEnvironment*>(::testing::AddGlobalTestEnvironment(new SessionBusEnvironment));

}  // namespace

// Readable failure messages for texts and lists of texts.
void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

// The file manager's interface, recording every call. It answers from a
// thread of its own: the program under test waits for the reply with its
// own thread blocked.
class FakeFileManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    struct Call {
        QString method;
        QStringList uris;
        QString startupId;
    };

    std::vector<Call> calls() const {
        QMutexLocker lock(&mutex_);
        return calls_;
    }
    // Every later call is answered with this error.
    void FailWith(const QString& name, const QString& text) {
        QMutexLocker lock(&mutex_);
        errorName_ = name;
        errorText_ = text;
    }

public slots:
    Q_SCRIPTABLE void ShowItems(const QStringList& uris, const QString& startupId) {
        Record(QStringLiteral("ShowItems"), uris, startupId);
    }
    Q_SCRIPTABLE void ShowItemProperties(const QStringList& uris, const QString& startupId) {
        Record(QStringLiteral("ShowItemProperties"), uris, startupId);
    }
    Q_SCRIPTABLE void ShowFolders(const QStringList& uris, const QString& startupId) {
        Record(QStringLiteral("ShowFolders"), uris, startupId);
    }

private:
    void Record(const QString& method, const QStringList& uris, const QString& startupId) {
        QMutexLocker lock(&mutex_);
        calls_.push_back({method, uris, startupId});
        if (!errorName_.isEmpty()) sendErrorReply(errorName_, errorText_);
    }

    mutable QMutex mutex_;
    std::vector<Call> calls_;
    QString errorName_;
    QString errorText_;
};

// Receives what the desktop's URL handler is asked to open.
class UrlRecorder : public QObject {
    Q_OBJECT

public:
    std::vector<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened.push_back(url); }
};

namespace qm {
namespace {

std::u16string U16(const std::filesystem::path& path) { return PathFromOs(path.string()); }
QString FileUriOf(const std::filesystem::path& dir, const char* encodedName) {
    // Temporary directory names are made of letters, digits, '/' and '-',
    // which a URI keeps as they are.
    return QStringLiteral("file://") + QString::fromStdString(dir.string()) + QLatin1Char('/') +
           QLatin1String(encodedName);
}
std::u16string SystemText(int code) {
    std::u16string text;
    GetSystemErrorMessage(static_cast<uint32_t>(code), text);
    return text;
}

// The fake file manager on the private bus under its well-known name, in a
// thread of its own; gone again with the object.
class FileManagerService {
public:
    explicit FileManagerService(const QString& address)
        : connection_(address, QStringLiteral("qm-fake-file-manager")), manager_(std::make_unique<FakeFileManager>()) {
        manager_->moveToThread(&thread_);
        thread_.start();
        QDBusConnection& bus = connection_.get();
        registered_ = bus.isConnected() &&
                      bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), manager_.get(),
                                         QDBusConnection::ExportScriptableSlots) &&
                      bus.registerService(QLatin1String(kFileManagerName));
    }
    FileManagerService(const FileManagerService&) = delete;
    FileManagerService& operator=(const FileManagerService&) = delete;
    ~FileManagerService() {
        // The name is given back before the next test asks for it.
        connection_.get().unregisterService(QLatin1String(kFileManagerName));
        connection_.get().unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
        thread_.quit();
        thread_.wait();
        // The thread has ended, so nothing runs in the object any more.
        manager_.reset();
    }

    bool registered() const { return registered_; }
    FakeFileManager& manager() { return *manager_; }

private:
    BusConnection connection_;
    QThread thread_;
    std::unique_ptr<FakeFileManager> manager_;
    bool registered_ = false;
};

// While it lives, local files are "opened" by the recorder.
class FileUrlHandler {
public:
    FileUrlHandler() { QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder_, "Open"); }
    FileUrlHandler(const FileUrlHandler&) = delete;
    FileUrlHandler& operator=(const FileUrlHandler&) = delete;
    ~FileUrlHandler() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    const std::vector<QUrl>& opened() const { return recorder_.opened; }

private:
    UrlRecorder recorder_;
};

// While it lives, no session bus is announced to the program.
class NoSessionBus {
public:
    NoSessionBus() : saved_(qgetenv("DBUS_SESSION_BUS_ADDRESS")) { qunsetenv("DBUS_SESSION_BUS_ADDRESS"); }
    NoSessionBus(const NoSessionBus&) = delete;
    NoSessionBus& operator=(const NoSessionBus&) = delete;
    ~NoSessionBus() {
        if (!saved_.isEmpty()) qputenv("DBUS_SESSION_BUS_ADDRESS", saved_);
    }

private:
    QByteArray saved_;
};

class ShellActionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!g_session->bus()) GTEST_SKIP() << "dbus-daemon is not available";
        spaced_ = dir_.Write("a b\xE6\x96\x87\xE4\xBB\xB6.txt", "x");
        plain_ = dir_.Write("sub/plain.bin", "y");
        notUtf8_ = dir_.Write("\xFF.bin", "z");
    }
    const QString& address() const { return g_session->bus()->address(); }

    test::TempDir dir_;
    std::filesystem::path spaced_, plain_, notUtf8_;
};

TEST_F(ShellActionsTest, ShowItemsGetsTheFileUriEncodedFromTheNamesBytes) {
    FileManagerService service(address());
    ASSERT_TRUE(service.registered());
    FileUrlHandler urls;
    SetErrorText(0, u"untouched");

    EXPECT_TRUE(ShowFileInExplorer(U16(spaced_)));
    EXPECT_TRUE(ShowFileInExplorer(U16(notUtf8_)));
    EXPECT_TRUE(ShowFileInExplorer(U16(dir_ / "sub/")));  // a folder is shown selected in its parent

    const std::vector<FakeFileManager::Call> calls = service.manager().calls();
    ASSERT_EQ(calls.size(), 3u);
    for (const auto& call : calls) {
        EXPECT_EQ(call.method, QStringLiteral("ShowItems"));
        EXPECT_EQ(call.startupId, QString());
    }
    EXPECT_EQ(calls[0].uris, QStringList{FileUriOf(dir_.path(), "a%20b%E6%96%87%E4%BB%B6.txt")});
    // A name that is not UTF-8 reaches the file manager as its own bytes.
    EXPECT_EQ(calls[1].uris, QStringList{FileUriOf(dir_.path(), "%FF.bin")});
    EXPECT_EQ(calls[2].uris, QStringList{FileUriOf(dir_.path(), "sub/")});
    EXPECT_TRUE(urls.opened().empty());  // the file manager answered: no folder opened as well
    EXPECT_EQ(GetLastErrorText(), u"untouched");
}

TEST_F(ShellActionsTest, MissingFileStartsNothing) {
    FileManagerService service(address());
    ASSERT_TRUE(service.registered());
    FileUrlHandler urls;
    const std::u16string missing = U16(dir_ / "gone.txt");

    EXPECT_FALSE(ShowFileInExplorer(missing));
    EXPECT_EQ(GetLastErrorText(), u"浏览文件(" + missing + u")失败:文件不存在。");
    EXPECT_FALSE(ShowFileInExplorer(u""));
    EXPECT_EQ(GetLastErrorText(), u"浏览文件()失败:文件不存在。");
    EXPECT_TRUE(service.manager().calls().empty());
    EXPECT_TRUE(urls.opened().empty());
}

TEST_F(ShellActionsTest, OnePropertiesCallForAllFilesInTheirOrder) {
    FileManagerService service(address());
    ASSERT_TRUE(service.registered());
    SetErrorText(0, u"untouched");

    EXPECT_TRUE(ShowFileProperties({U16(plain_), U16(spaced_), U16(notUtf8_)}));
    const std::vector<FakeFileManager::Call> calls = service.manager().calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].method, QStringLiteral("ShowItemProperties"));
    EXPECT_EQ(calls[0].uris, (QStringList{FileUriOf(dir_.path(), "sub/plain.bin"),
                                          FileUriOf(dir_.path(), "a%20b%E6%96%87%E4%BB%B6.txt"),
                                          FileUriOf(dir_.path(), "%FF.bin")}));
    EXPECT_EQ(calls[0].startupId, QString());
    EXPECT_EQ(GetLastErrorText(), u"untouched");

    EXPECT_TRUE(ShowFileProperties({}));  // nothing to show: nothing asked
    EXPECT_EQ(service.manager().calls().size(), 1u);
}

TEST_F(ShellActionsTest, PathsThatNameNoFileShowNoPropertiesAtAll) {
    FileManagerService service(address());
    ASSERT_TRUE(service.registered());

    EXPECT_FALSE(ShowFileProperties({U16(plain_), u"relative/plain.bin"}));
    EXPECT_EQ(GetLastErrorText(), u"显示文件属性时解析路径失败:路径不是绝对路径。");
    EXPECT_FALSE(ShowFileProperties({u"", U16(plain_)}));
    EXPECT_EQ(GetLastErrorText(), u"显示文件属性时解析路径失败:路径不是绝对路径。");
    EXPECT_FALSE(ShowFileProperties({U16(plain_), U16(dir_ / "gone.txt")}));
    EXPECT_EQ(GetLastErrorText(), u"显示文件属性时解析路径失败:" + SystemText(ENOENT));
    EXPECT_TRUE(service.manager().calls().empty());
}

TEST_F(ShellActionsTest, FileManagerAnsweringWithAnError) {
    FileManagerService service(address());
    ASSERT_TRUE(service.registered());
    service.manager().FailWith(QStringLiteral("org.example.FileManager.Busy"), QStringLiteral("Window is busy"));
    FileUrlHandler urls;

    EXPECT_FALSE(ShowFileProperties({U16(plain_)}));
    EXPECT_EQ(GetLastErrorText(), u"显示文件属性失败:Window is busy");

    // Showing the file falls back to opening its folder.
    SetErrorText(0, u"untouched");
    EXPECT_TRUE(ShowFileInExplorer(U16(plain_)));
    ASSERT_EQ(urls.opened().size(), 1u);
    EXPECT_EQ(urls.opened()[0].toLocalFile(), QString::fromStdString((dir_ / "sub").string()));
    EXPECT_EQ(GetLastErrorText(), u"untouched");
    ASSERT_EQ(service.manager().calls().size(), 2u);
    EXPECT_EQ(service.manager().calls()[1].method, QStringLiteral("ShowItems"));
}

TEST_F(ShellActionsTest, WithoutAFileManagerTheFolderIsOpened) {
    const std::u16string reason = u"The name org.freedesktop.FileManager1 was not provided by any .service files";
    EXPECT_FALSE(ShowFileProperties({U16(plain_)}));
    EXPECT_EQ(GetLastErrorText(), u"显示文件属性时获取桌面对象失败:" + reason);

    {
        FileUrlHandler urls;
        SetErrorText(0, u"untouched");
        EXPECT_TRUE(ShowFileInExplorer(U16(spaced_)));
        ASSERT_EQ(urls.opened().size(), 1u);
        EXPECT_EQ(urls.opened()[0].toLocalFile(), QString::fromStdString(dir_.path().string()));
        EXPECT_EQ(GetLastErrorText(), u"untouched");
    }
    // The offscreen platform has no default application: both ways fail.
    EXPECT_FALSE(ShowFileInExplorer(U16(spaced_)));
    EXPECT_EQ(GetLastErrorText(),
              u"浏览文件(" + U16(spaced_) + u")失败:" + reason + u"。桌面环境没有可以打开所在文件夹的程序。");
}

// The bus is allowed to start a file manager for the call; one that cannot
// be started counts as none.
TEST_F(ShellActionsTest, AFileManagerTheBusCannotStartCountsAsNone) {
    const std::filesystem::path marker = dir_ / "activated";
    const std::filesystem::path script = dir_.Write("fm.sh", "#!/bin/sh\necho started >> '" + marker.string() +
                                                                 "'\nexit 3\n");
    const std::filesystem::path serviceFile = g_session->bus()->serviceDir() / "org.freedesktop.FileManager1.service";
    {
        std::ofstream out(serviceFile);
        out << "[D-BUS Service]\nName=org.freedesktop.FileManager1\nExec=/bin/sh " << script.string() << "\n";
    }
    struct RemoveServiceFile {
        std::filesystem::path file;
        ~RemoveServiceFile() {
            std::error_code ec;
            std::filesystem::remove(file, ec);
            g_session->ReloadConfig();
        }
    } removeLater{serviceFile};
    ASSERT_TRUE(g_session->ReloadConfig());

    EXPECT_FALSE(ShowFileProperties({U16(plain_)}));
    EXPECT_EQ(GetLastErrorText(), u"显示文件属性时获取桌面对象失败:Process org.freedesktop.FileManager1 exited with status 3");
    FileUrlHandler urls;
    EXPECT_TRUE(ShowFileInExplorer(U16(plain_)));
    EXPECT_EQ(urls.opened().size(), 1u);
    EXPECT_EQ(test::ReadBytes(marker), "started\nstarted\n");  // once per call
}

TEST_F(ShellActionsTest, WithoutASessionBus) {
    FileManagerService service(address());  // there, but not announced to the program
    ASSERT_TRUE(service.registered());
    NoSessionBus noBus;

    EXPECT_FALSE(ShowFileProperties({U16(plain_)}));
    EXPECT_EQ(GetLastErrorText(), u"显示文件属性时获取桌面对象失败:找不到会话总线。");
    {
        FileUrlHandler urls;
        EXPECT_TRUE(ShowFileInExplorer(U16(plain_)));
        ASSERT_EQ(urls.opened().size(), 1u);
        EXPECT_EQ(urls.opened()[0].toLocalFile(), QString::fromStdString((dir_ / "sub").string()));
    }
    EXPECT_FALSE(ShowFileInExplorer(U16(plain_)));
    EXPECT_EQ(GetLastErrorText(), u"浏览文件(" + U16(plain_) + u")失败:找不到会话总线。桌面环境没有可以打开所在文件夹的程序。");
    EXPECT_TRUE(service.manager().calls().empty());
}

TEST(ClipboardTest, TextRoundTripsAndAnEmptyTextIsAnEmptyString) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    SetErrorText(0, u"untouched");
    const std::u16string text = u"第一行 a.txt\r\n第二行\r\n";
    EXPECT_TRUE(CopyTextToClipboard(text));
    EXPECT_EQ(clipboard->text().toStdU16String(), text);

    EXPECT_TRUE(CopyTextToClipboard(u""));
    ASSERT_NE(clipboard->mimeData(), nullptr);
    EXPECT_TRUE(clipboard->mimeData()->hasText());
    EXPECT_TRUE(clipboard->text().isEmpty());
    EXPECT_EQ(GetLastErrorText(), u"untouched");
}

}  // namespace
}  // namespace qm

#include "shell_actions_test.moc"
