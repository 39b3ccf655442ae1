// Opening a file with the desktop's default application, and showing files
// through the desktop's file manager over the session bus.
#include "desktop_qt/shell_actions.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QtGlobal>

#include "common/error_record.h"
#include "common/utf.h"

namespace qm {

namespace {
constexpr std::u16string_view kOpenFailed = u"打开文件失败";
// The desktop's URL handler gives no reason when it fails; this is the one
// case it has that a missing file does not explain.
constexpr std::u16string_view kNoHandler = u"桌面环境没有可以打开此文件的程序。";

constexpr char16_t kBrowseMissingText[] = u"浏览文件(%s)失败:文件不存在。";
constexpr char16_t kBrowseFailedText[] = u"浏览文件(%s)失败:%s%s";
constexpr char16_t kBrowseContext[] = u"浏览文件(%s)失败";
constexpr std::u16string_view kNoFolderHandler = u"桌面环境没有可以打开所在文件夹的程序。";

constexpr std::u16string_view kPropsNoDesktop = u"显示文件属性时获取桌面对象失败";
constexpr std::u16string_view kPropsParseFailed = u"显示文件属性时解析路径失败";
constexpr std::u16string_view kPropsFailed = u"显示文件属性失败";
constexpr std::u16string_view kNotAbsolute = u"路径不是绝对路径。";
constexpr std::u16string_view kNoSessionBus = u"找不到会话总线。";

constexpr char kFileManagerService[] = "org.freedesktop.FileManager1";
constexpr char kFileManagerPath[] = "/org/freedesktop/FileManager1";

// The reply is awaited with the event loop stopped (no other command of the
// window can run in between), so a file manager that hangs must not hold
// the window for the bus's default of 25 seconds. A running file manager
// answers in milliseconds; the rest is for one that the bus starts.
constexpr int kCallTimeoutMs = 5000;

// A session bus is announced by its address in the environment or by the
// per-user socket in the runtime directory. With neither there is none to
// reach (a console login, a container, a test run), and asking Qt would only
// start its bus thread and have libdbus try to launch a bus for us.
bool SessionBusAnnounced() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

std::u16string ReasonOf(const QString& message, const QString& name) {
    QString text = message.isEmpty() ? name : message;
    if (text.isEmpty()) text = QStringLiteral("D-Bus");
    return text.toStdU16String();
}

std::optional<QDBusConnection> SessionBus(std::u16string& reason) {
    if (!SessionBusAnnounced()) {
        reason = kNoSessionBus;
        return std::nullopt;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        reason = ReasonOf(bus.lastError().message(), bus.lastError().name());
        return std::nullopt;
    }
    return bus;
}

// Asks the file manager to show `uris`. The bus may start the file manager
// for the call: file managers are activatable services that need not be
// running when the user asks, and a desktop user expects the window to come
// up then as well, so the call keeps D-Bus's automatic start. What can be
// started is the bus's configuration; the tests run a bus of their own whose
// service directory they fill themselves.
QDBusMessage CallFileManager(QDBusConnection& bus, const QString& method, const QStringList& uris) {
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(kFileManagerService),
                                                       QLatin1String(kFileManagerPath),
                                                       QLatin1String(kFileManagerService), method);
    call.setAutoStartService(true);
    call << uris << QString();  // no startup notification id
    return bus.call(call, QDBus::Block, kCallTimeoutMs);
}

bool Succeeded(const QDBusMessage& reply) { return reply.type() == QDBusMessage::ReplyMessage; }

// Failures that say no file manager is there to ask (none owns the name and
// none could be started), as opposed to one that answered with an error.
bool NoFileManager(const QDBusMessage& reply) {
    const QString name = reply.errorName();
    return name == QDBusError::errorString(QDBusError::ServiceUnknown) ||
           name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
           name == QDBusError::errorString(QDBusError::Disconnected) ||
           name.startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn."));
}

bool IsAbsoluteOsPath(const std::string& os) {
    return !os.empty() && os.front() == '/' && os.find('\0') == std::string::npos;
}

// A file URI for the bytes of an absolute path. The bytes are encoded as
// they are, so a name that is not UTF-8 reaches the file manager unchanged
// (a URI made from the UTF-16 text would name another file).
QString FileUri(const std::string& os) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    QString uri = QStringLiteral("file://");
    uri.reserve(static_cast<qsizetype>(uri.size() + os.size() * 3));
    for (const char ch : os) {
        const auto byte = static_cast<unsigned char>(ch);
        const bool keep = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                          (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                          byte == '~' || byte == '/';
        if (keep) {
            uri += QLatin1Char(static_cast<char>(byte));
        } else {
            uri += QLatin1Char('%');
            uri += QLatin1Char(kHex[byte >> 4]);
            uri += QLatin1Char(kHex[byte & 0xF]);
        }
    }
    return uri;
}

// The folder holding an absolute path ("/" for a name at the root and for
// the root itself); a final '/' of a folder's path names the folder.
std::string ContainingFolder(std::string os) {
    while (os.size() > 1 && os.back() == '/') os.pop_back();
    const size_t slash = os.rfind('/');
    if (slash == std::string::npos || slash == 0) return "/";
    os.resize(slash);
    return os;
}

// A reason that is followed by another sentence ends with a full stop.
std::u16string AsSentence(std::u16string text) {
    static constexpr std::u16string_view kEnds = u"。.!?！？";
    if (!text.empty() && kEnds.find(text.back()) == std::u16string_view::npos) text += u'。';
    return text;
}

}  // namespace

bool OpenFileWithShell(std::u16string_view path) {
    // The handler reports only success or failure, so a file that cannot be
    // reached is found here, where the system can say why.
    struct stat st;
    if (::stat(PathToOs(path).c_str(), &st) != 0) {
        SetLastErrorText(static_cast<uint32_t>(errno), kOpenFailed);
        return false;
    }
    const QString local = QString::fromStdU16String(std::u16string(path));
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(local))) {
        SetErrorText(0, u"%s:%s", kOpenFailed, kNoHandler);
        return false;
    }
    return true;
}

bool ShowFileInExplorer(std::u16string_view path) {
    std::string os = PathToOs(path);
    struct stat st;
    if (os.empty() || os.find('\0') != std::string::npos || ::stat(os.c_str(), &st) != 0) {
        SetErrorText(0, kBrowseMissingText, path);
        return false;
    }
    if (os.front() != '/') {
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(os, ec);
        if (ec) {
            SetLastErrorText(static_cast<uint32_t>(ec.value()), kBrowseContext, path);
            return false;
        }
        os = absolute.string();
    }

    std::u16string reason;
    if (std::optional<QDBusConnection> bus = SessionBus(reason)) {
        const QDBusMessage reply = CallFileManager(*bus, QStringLiteral("ShowItems"), {FileUri(os)});
        if (Succeeded(reply)) return true;
        reason = ReasonOf(reply.errorMessage(), reply.errorName());
    }
    // Without a file manager the folder is the nearest thing to showing the
    // file: the default application for folders opens it, nothing selected.
    const QUrl folder = QUrl::fromEncoded(FileUri(ContainingFolder(os)).toLatin1());
    if (QDesktopServices::openUrl(folder)) return true;
    // The bus's reason comes first: it says why the file is not shown
    // selected, which is what was asked for.
    SetErrorText(0, kBrowseFailedText, path, AsSentence(reason), kNoFolderHandler);
    return false;
}

bool ShowFileProperties(const std::vector<std::u16string>& paths) {
    if (paths.empty()) return true;
    std::u16string reason;
    std::optional<QDBusConnection> bus = SessionBus(reason);
    if (!bus) {
        SetErrorText(0, u"%s:%s", kPropsNoDesktop, reason);
        return false;
    }
    QStringList uris;
    uris.reserve(static_cast<qsizetype>(paths.size()));
    for (const std::u16string& path : paths) {
        const std::string os = PathToOs(path);
        if (!IsAbsoluteOsPath(os)) {
            SetErrorText(EINVAL, u"%s:%s", kPropsParseFailed, kNotAbsolute);
            return false;
        }
        // A file manager shows an empty or wrong window for a file that is
        // not there; the system can say here why it cannot be reached.
        struct stat st;
        if (::stat(os.c_str(), &st) != 0) {
            SetLastErrorText(static_cast<uint32_t>(errno), kPropsParseFailed);
            return false;
        }
        uris << FileUri(os);
    }
    const QDBusMessage reply = CallFileManager(*bus, QStringLiteral("ShowItemProperties"), uris);
    if (Succeeded(reply)) return true;
    SetErrorText(0, u"%s:%s", NoFileManager(reply) ? kPropsNoDesktop : kPropsFailed,
                 ReasonOf(reply.errorMessage(), reply.errorName()));
    return false;
}

}  // namespace qm
