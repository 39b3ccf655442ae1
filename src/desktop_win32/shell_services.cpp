// The shell's services for the file list (see shell_services.h).
#include "desktop_win32/shell_services.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

#include "common/error_record.h"
#include "common/path_util.h"
#include "desktop_win32/win32_handles.h"
#include "desktop_win32/window.h"

namespace qm::win32 {

namespace {

const QmShellCalls& SystemCalls() {
    static const QmShellCalls calls{
        [](SHELLEXECUTEINFOW* info) { return ShellExecuteExW(info); },
        [](HWND owner, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
           const wchar_t* directory, INT show) { return ShellExecuteW(owner, verb, file, parameters, directory, show); },
        [](IDataObject* data, DWORD flags) { return SHMultiFileProperties(data, flags); },
    };
    return calls;
}

const QmShellCalls* g_calls = nullptr;

const QmShellCalls& Calls() { return g_calls ? *g_calls : SystemCalls(); }

// Item id lists from the desktop folder, freed with the shell's allocator.
class IdLists {
public:
    IdLists() = default;
    IdLists(const IdLists&) = delete;
    IdLists& operator=(const IdLists&) = delete;
    ~IdLists() {
        for (LPITEMIDLIST list : lists_) CoTaskMemFree(list);
    }
    void Add(LPITEMIDLIST list) { lists_.push_back(list); }
    LPCITEMIDLIST* Data() { return const_cast<LPCITEMIDLIST*>(reinterpret_cast<const LPCITEMIDLIST*>(lists_.data())); }
    UINT Count() const { return static_cast<UINT>(lists_.size()); }

private:
    std::vector<LPITEMIDLIST> lists_;
};

// Closes the clipboard when the copy ends, however it ends.
class OpenClipboardScope {
public:
    ~OpenClipboardScope() { CloseClipboard(); }
};

}  // namespace

void SetShellCalls(const QmShellCalls* calls) { g_calls = calls; }

bool CopyTextToClipboard(HWND owner, std::u16string_view text) {
    if (!OpenClipboard(owner)) {
        SetLastErrorText(0, u"打开剪贴板失败");
        return false;
    }
    const OpenClipboardScope scope;
    if (!EmptyClipboard()) {
        SetLastErrorText(0, u"清空剪贴板内容失败");
        return false;
    }
    const size_t bytes = (text.size() + 1) * sizeof(char16_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!block) {
        SetLastErrorText(0, u"设置剪贴板文本内容时分配内存失败");
        return false;
    }
    if (void* data = GlobalLock(block)) {
        std::memcpy(data, text.data(), text.size() * sizeof(char16_t));
        static_cast<char16_t*>(data)[text.size()] = u'\0';
        GlobalUnlock(block);
    }
    if (!SetClipboardData(CF_UNICODETEXT, block)) {
        SetLastErrorText(0, u"设置文本内容到剪贴板失败");
        GlobalFree(block);
        return false;
    }
    // The clipboard owns the block now.
    return true;
}

bool OpenFileWithShell(std::u16string_view path) {
    const std::u16string file(path);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = Wide(file);
    info.nShow = SW_SHOWDEFAULT;
    if (Calls().shellExecuteEx(&info)) return true;
    SetLastErrorText(0, u"打开文件失败");
    return false;
}

bool ShowFileInExplorer(std::u16string_view path) {
    if (!PathFileExists(path)) {
        SetErrorText(0, u"浏览文件(%s)失败:文件不存在。", path);
        return false;
    }
    const std::u16string parameters = u"/n,/select,\"" + std::u16string(path) + u"\"";
    const HINSTANCE result = Calls().shellExecute(nullptr, L"open", L"explorer", Wide(parameters), nullptr, SW_SHOW);
    const auto code = static_cast<uint32_t>(reinterpret_cast<INT_PTR>(result));
    if (code > 32) return true;
    SetLastErrorText(code, u"浏览文件(%s)失败", path);
    return false;
}

bool ShowFileProperties(const std::vector<std::u16string>& paths) {
    ComPtr<IShellFolder> desktop;
    HRESULT result = SHGetDesktopFolder(desktop.Put());
    if (FAILED(result)) {
        SetLastErrorTextFromResult(static_cast<uint32_t>(result), u"显示文件属性时获取桌面对象失败");
        return false;
    }
    IdLists lists;
    for (const std::u16string& path : paths) {
        std::u16string name = path;
        LPITEMIDLIST list = nullptr;
        result = desktop->ParseDisplayName(nullptr, nullptr, reinterpret_cast<wchar_t*>(name.data()), nullptr, &list,
                                           nullptr);
        if (FAILED(result)) {
            SetLastErrorTextFromResult(static_cast<uint32_t>(result), u"显示文件属性时解析路径失败");
            return false;
        }
        lists.Add(list);
    }
    ComPtr<IDataObject> data;
    result = desktop->GetUIObjectOf(nullptr, lists.Count(), lists.Data(), IID_IDataObject, nullptr, data.PutVoid());
    if (FAILED(result)) {
        SetLastErrorTextFromResult(static_cast<uint32_t>(result), u"显示文件属性时获取UI对象失败");
        return false;
    }
    result = Calls().multiFileProperties(data.Get(), 0);
    if (FAILED(result)) {
        SetLastErrorTextFromResult(static_cast<uint32_t>(result), u"显示文件属性失败");
        return false;
    }
    return true;
}

std::vector<std::u16string> TakeDroppedPaths(HDROP drop) {
    std::vector<std::u16string> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0) continue;
        std::wstring path(length + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, path.data(), length + 1));
        paths.push_back(FromWide(path));
    }
    DragFinish(drop);
    return paths;
}

}  // namespace qm::win32
