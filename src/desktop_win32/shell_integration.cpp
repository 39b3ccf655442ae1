// The shortcut, the taskbar identity and the verb's hand-over (see
// shell_integration.h).
#include "desktop_win32/shell_integration.h"

#include <objbase.h>
#include <objidl.h>
#include <propidl.h>
#include <propsys.h>
#include <shobjidl.h>

#include "desktop/launch_paths.h"
#include "desktop_win32/main_frame.h"
#include "desktop_win32/window.h"

namespace qm::win32 {

namespace {

// The shell's property of a window's or a shortcut's taskbar identity.
constexpr PROPERTYKEY kAppUserModelIdKey = {
    {0x9F4C2855, 0x9F79, 0x4B39, {0xA8, 0xD0, 0xE1, 0xD4, 0x2D, 0xE1, 0xD5, 0xF3}}, 5};
constexpr wchar_t kHandOverLockName[] = L"Local\\Zantoria.Quorvia.ExplorerVerb";
constexpr wchar_t kMarkProperty[] = L"Zantoria.Quorvia.ExplorerVerb";
constexpr wchar_t kShortcutDescription[] = L"计算文件和文件夹的校验值，保存校验列表并重新校验其中的文件";
// A start still making its window holds the lock for well under a second;
// past this the verb opens a window of its own rather than hang.
constexpr DWORD kLockWaitMs = 10000;
// How long a window may take to take the paths.
constexpr UINT kHandOverTimeoutMs = 10000;

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

struct PropVariant {
    PROPVARIANT value{};
    PropVariant() { PropVariantInit(&value); }
    ~PropVariant() { PropVariantClear(&value); }
    PropVariant(const PropVariant&) = delete;
    PropVariant& operator=(const PropVariant&) = delete;
};

BOOL CALLBACK FindMarkedFrame(HWND hwnd, LPARAM found) {
    wchar_t className[64];
    if (GetClassNameW(hwnd, className, 64) && wcscmp(className, kFrameClassName) == 0 && IsMarkedFrame(hwnd)) {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

void SetProcessAppUserModelId() { SetCurrentProcessExplicitAppUserModelID(kAppUserModelId); }

HRESULT CreateProgramShortcut(const std::u16string& linkPath) {
    ComPtr<IShellLinkW> link;
    const std::wstring target = ModulePath();
    if (target.empty()) return HRESULT_FROM_WIN32(GetLastError());
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid());
    if (FAILED(result)) return result;
    std::wstring folder = target.substr(0, target.find_last_of(L'\\') + 1);
    if (folder.size() > 3) folder.pop_back();  // "C:\" keeps its separator
    if (FAILED(result = link->SetPath(target.c_str())) || FAILED(result = link->SetWorkingDirectory(folder.c_str())) ||
        FAILED(result = link->SetIconLocation(target.c_str(), 0)) ||
        FAILED(result = link->SetDescription(kShortcutDescription)))
        return result;

    ComPtr<IPropertyStore> properties;
    if (FAILED(result = link->QueryInterface(IID_IPropertyStore, properties.PutVoid()))) return result;
    PropVariant id;
    const size_t bytes = sizeof kAppUserModelId;
    id.value.pwszVal = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!id.value.pwszVal) return E_OUTOFMEMORY;
    id.value.vt = VT_LPWSTR;
    memcpy(id.value.pwszVal, kAppUserModelId, bytes);
    if (FAILED(result = properties->SetValue(kAppUserModelIdKey, id.value)) || FAILED(result = properties->Commit()))
        return result;

    ComPtr<IPersistFile> file;
    if (FAILED(result = link->QueryInterface(IID_IPersistFile, file.PutVoid()))) return result;
    return file->Save(Wide(linkPath), TRUE);
}

std::u16string GetShortcutTarget(IShellLinkW& link) {
    wchar_t target[MAX_PATH * 4] = {};
    if (FAILED(link.GetPath(target, static_cast<int>(std::size(target)), nullptr, SLGP_RAWPATH))) return {};
    return FromWide(target);
}

HRESULT LoadShortcut(const std::u16string& linkPath, ComPtr<IShellLinkW>& link) {
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid());
    if (FAILED(result)) return result;
    ComPtr<IPersistFile> file;
    if (FAILED(result = link->QueryInterface(IID_IPersistFile, file.PutVoid()))) return result;
    return file->Load(Wide(linkPath), STGM_READ);
}

CQmVerbHandOver::CQmVerbHandOver() : mutex_(CreateMutexW(nullptr, FALSE, kHandOverLockName)) {
    if (!mutex_) return;
    const DWORD wait = WaitForSingleObject(mutex_.Get(), kLockWaitMs);
    // An abandoned lock is ours: its holder ended without a window.
    owned_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

CQmVerbHandOver::~CQmVerbHandOver() { Release(); }

void CQmVerbHandOver::Release() {
    if (owned_) ReleaseMutex(mutex_.Get());
    owned_ = false;
}

bool CQmVerbHandOver::HandTo(std::span<const std::u16string> paths) {
    HWND frame = nullptr;
    EnumWindows(FindMarkedFrame, reinterpret_cast<LPARAM>(&frame));
    if (!frame) return false;
    const std::u16string packed = PackHandedOverPaths(paths);
    COPYDATASTRUCT data{};
    data.dwData = kHandOverDataId;
    data.cbData = static_cast<DWORD>(packed.size() * sizeof(char16_t));
    data.lpData = const_cast<char16_t*>(packed.data());
    // This start was the user's doing, so the window it hands to may come
    // to the front.
    DWORD process = 0;
    GetWindowThreadProcessId(frame, &process);
    AllowSetForegroundWindow(process);
    DWORD_PTR taken = FALSE;
    return SendMessageTimeoutW(frame, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                               kHandOverTimeoutMs, &taken) != 0 &&
           taken == TRUE;
}

void CQmVerbHandOver::MarkAndRelease(HWND frame) {
    SetPropW(frame, kMarkProperty, reinterpret_cast<HANDLE>(1));
    Release();
}

bool IsMarkedFrame(HWND frame) { return GetPropW(frame, kMarkProperty) != nullptr; }

void UnmarkFrame(HWND frame) { RemovePropW(frame, kMarkProperty); }

}  // namespace qm::win32
