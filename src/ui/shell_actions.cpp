// Opening a file with the desktop's default application.
#include "ui/shell_actions.h"

#include <sys/stat.h>

#include <cerrno>

#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include "common/error_record.h"
#include "common/utf.h"

namespace qm {

namespace {
constexpr std::u16string_view kOpenFailed = u"打开文件失败";
// The desktop's URL handler gives no reason when it fails; this is the one
// case it has that a missing file does not explain.
constexpr std::u16string_view kNoHandler = u"桌面环境没有可以打开此文件的程序。";
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

}  // namespace qm
