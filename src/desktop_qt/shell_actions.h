// Actions the desktop performs on a file for us.
//
// Opening a file with the program the desktop associates with its type goes
// through the desktop's URL handler. Showing a file selected in the file
// manager and showing one properties window for several files go to the
// desktop's file manager over the session bus (org.freedesktop.FileManager1);
// showing a file falls back to opening its folder where no file manager
// answers. Failures are recorded in the calling thread's error record (a
// context naming the action, ':' and the reason) for the caller to show.
// All of them run on the GUI thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Opens `path` with the desktop's default application for it.
bool OpenFileWithShell(std::u16string_view path);

// Shows the file or folder `path` selected in the desktop's file manager, or
// opens the folder holding it with the default application where no file
// manager answers. A missing file starts nothing:
// "浏览文件(<path>)失败:文件不存在。".
bool ShowFileInExplorer(std::u16string_view path);

// Shows one properties window for all `paths` (absolute paths of existing
// files or folders). Nothing is shown when one of them is not such a path.
// An empty list shows nothing and succeeds.
bool ShowFileProperties(const std::vector<std::u16string>& paths);

}  // namespace qm
