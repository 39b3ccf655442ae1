// Putting text on the desktop's clipboard.
#pragma once

#include <string_view>

namespace qm {

// Puts `text` on the clipboard as plain text (an empty text puts an empty
// string there) and checks that the clipboard holds it afterwards; when it
// does not, "设置文本内容到剪贴板失败" is recorded in the calling thread's
// error record and false returned. GUI thread, with a QGuiApplication.
bool CopyTextToClipboard(std::u16string_view text);

}  // namespace qm
