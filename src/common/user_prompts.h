// What the program asks the user: message boxes, file and folder dialogs, and
// the wait cursor.
//
// Every box and dialog of the program goes through one process-wide
// CQmUserPrompts. The desktop program installs one that shows real windows;
// tests install one that answers each request and records what was asked, so
// no test ever blocks on a modal window. The rules of the boxes and dialogs
// (captions, default titles and filters, the default extension, the result
// layout of a multiple selection) live here, outside any window toolkit, so
// every front end applies them alike.
//
// User-interface thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/text_format.h"

namespace qm {

// The owner of a box or dialog: the front end's window (a QWidget* in the
// desktop program), or null for none. The core never looks inside it.
using QmWindow = void*;

// Button sets and icon kinds of a message box, and the button a box was
// closed with: the values of the platform the program was first written for,
// kept so flags combine the same way. Where the system's own header is in
// (the Windows program's files), its macros of the same values stand for
// them.
#if !defined(MB_OK)
inline constexpr uint32_t MB_OK = 0x00000000;
inline constexpr uint32_t MB_OKCANCEL = 0x00000001;
inline constexpr uint32_t MB_YESNOCANCEL = 0x00000003;
inline constexpr uint32_t MB_TYPEMASK = 0x0000000F;
inline constexpr uint32_t MB_ICONERROR = 0x00000010;
inline constexpr uint32_t MB_ICONQUESTION = 0x00000020;
inline constexpr uint32_t MB_ICONWARNING = 0x00000030;
inline constexpr uint32_t MB_ICONINFORMATION = 0x00000040;
inline constexpr uint32_t MB_ICONMASK = 0x000000F0;
#endif
#if !defined(IDOK)
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;
#endif

// The caption of an error box that shows the recorded error text.
inline constexpr std::u16string_view kDefaultErrorCaption = u"错误";

struct QmMessageBoxRequest {
    QmWindow owner = nullptr;
    std::u16string caption;
    std::u16string text;  // lines end with "\r\n"; each shows as its own line
    uint32_t flags = MB_OK;
};

enum class QmFileDialogMode { Open = 0, Save = 1 };

struct QmFileFilter {
    std::u16string description;  // "文本文件(*.txt)"
    std::u16string pattern;      // "*.txt", several joined by ';'
    bool operator==(const QmFileFilter&) const = default;
};

// A file dialog as it is to be shown, every default already applied.
struct QmFileDialogRequest {
    QmWindow owner = nullptr;
    QmFileDialogMode mode = QmFileDialogMode::Open;
    std::u16string title;
    std::vector<QmFileFilter> filters;  // never empty
    int filterIndex = 1;                // the preselected entry, counted from 1
    // Save mode: a name typed without an extension gets this one ("txt", no
    // dot); empty for none.
    std::u16string defaultExtension;
    bool multiSelect = false;      // open mode
    bool overwritePrompt = false;  // save mode: ask before replacing a file
    std::u16string initialPath;    // save mode: the proposed name (a path)
};

struct QmFileDialogResult {
    std::vector<std::u16string> paths;  // absolute; several only with multiSelect
    int filterIndex = 1;                // the entry the user ended with, from 1
};

class CQmUserPrompts {
public:
    virtual ~CQmUserPrompts() = default;
    // Shows the box modally; the button id it was closed with (IDOK, IDCANCEL,
    // IDYES, IDNO). Closing a box without pressing a button answers IDCANCEL,
    // or IDOK for a box with an OK button only.
    virtual int MessageBox(const QmMessageBoxRequest& request) = 0;
    // False when the user cancelled or the dialog could not be shown.
    virtual bool FileDialog(const QmFileDialogRequest& request, QmFileDialogResult& result) = 0;
    // A directory chooser with `title` as its instruction text; false when
    // nothing was chosen, else the chosen directory is in `path`.
    virtual bool FolderDialog(QmWindow owner, std::u16string_view title, std::u16string& path) = 0;
    // Shows (true) or takes back (false) the wait cursor; calls nest.
    virtual void SetWaitCursor(bool on) = 0;
};

// The installed prompts, or null. Without any, boxes answer as if closed
// without a button press and dialogs report cancel.
void SetUserPrompts(CQmUserPrompts* prompts);
CQmUserPrompts* GetUserPrompts();

// Shows the calling thread's recorded error text with MB_ICONERROR and the
// given caption (null: the default error caption). An empty record shows
// nothing.
void ShowLastError(QmWindow owner, const char16_t* caption = nullptr);

// A box with the application's display name as caption; the button id.
int ShowMessage(QmWindow owner, uint32_t flags, std::u16string_view text);

template <class... Args>
int ShowMessageFormat(QmWindow owner, uint32_t flags, std::u16string_view format, const Args&... args) {
    return ShowMessage(owner, flags, FormatText(format, args...));
}

// Filter pairs in their stored form: description, NUL, pattern, NUL, …, and
// one more NUL at the end. Callers that build them as one text put a tab
// after every string and replace the tabs (ReplaceChar).
std::vector<QmFileFilter> ParseFilterPairs(std::u16string_view filter);

// The request ShowFileDialog shows, with every rule applied: the default
// title ("打开文件" / "保存文件") and filter ("所有文件(*.*)"); the default
// extension — with exactly two filter entries the first one's pattern without
// its leading "*.", else none; the preselected entry (`filterIndex` 0 means the
// first); the overwrite prompt in save mode unless `flag`; multiple selection
// in open mode with `flag`.
QmFileDialogRequest MakeFileDialogRequest(QmWindow owner, QmFileDialogMode mode, const char16_t* title,
                                          std::u16string_view filter, int filterIndex, bool flag,
                                          std::u16string_view proposedName);

// The common open and save dialog. `filter` holds the pairs described above,
// or is empty for the default. `filterIndex`, when given, preselects an entry
// (from 1) and receives the entry the user ended with. Save mode proposes the
// name in `buffer`; open mode ignores it. On success `buffer` holds the chosen
// path; in open mode with `flag` (multiple selection) it holds the directory,
// a NUL, then every chosen name followed by a NUL — one chosen file gives the
// same layout as several. False when the user cancelled.
bool ShowFileDialog(QmWindow owner, QmFileDialogMode mode, const char16_t* title, std::u16string_view filter,
                    int* filterIndex, bool flag, std::u16string& buffer);

// The names of a multiple-selection result joined to its directory.
std::vector<std::u16string> SplitMultiSelection(std::u16string_view buffer);

// The folder picker; false when nothing was chosen.
bool BrowseForFolder(QmWindow owner, std::u16string_view title, std::u16string& path);

// The wait cursor for the lifetime of the guard.
class QmWaitCursor {
public:
    QmWaitCursor();
    ~QmWaitCursor();
    QmWaitCursor(const QmWaitCursor&) = delete;
    QmWaitCursor& operator=(const QmWaitCursor&) = delete;
};

}  // namespace qm
