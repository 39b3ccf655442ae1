// Actions the desktop performs on a file for us.
//
// Opening a file with the program the desktop associates with its type goes
// through the desktop's URL handler. Failures are recorded in the calling
// thread's error record ("打开文件失败" with the reason) for the caller to
// show.
#pragma once

#include <string_view>

namespace qm {

// Opens `path` with the desktop's default application for it. GUI thread.
bool OpenFileWithShell(std::u16string_view path);

}  // namespace qm
