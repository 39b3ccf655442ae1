// The window framework (see window.h).
#include "desktop_win32/window.h"

#include <algorithm>

namespace qm::win32 {

CQmWindow::~CQmWindow() { Destroy(); }

bool CQmWindow::RegisterClass(const wchar_t* className, HICON icon, HICON smallIcon, HBRUSH background) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), className, &existing)) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &CQmWindow::WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = icon;
    wc.hIconSm = smallIcon;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    return RegisterClassExW(&wc) != 0;
}

HWND CQmWindow::Create(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle, int x, int y,
                       int width, int height, HWND parent, HMENU menuOrId) {
    return CreateWindowExW(exStyle, className, title, style, x, y, width, height, parent, menuOrId,
                           GetModuleHandleW(nullptr), this);
}

bool CQmWindow::Subclass(HWND hwnd) {
    hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    previousProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CQmWindow::WindowProc)));
    return previousProc_ != nullptr;
}

void CQmWindow::Destroy() {
    if (hwnd_) DestroyWindow(hwnd_);
}

LRESULT CQmWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultProc(message, wParam, lParam);
}

LRESULT CQmWindow::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (previousProc_) return CallWindowProcW(previousProc_, hwnd_, message, wParam, lParam);
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

CQmWindow* CQmWindow::FromHwnd(HWND hwnd) {
    return reinterpret_cast<CQmWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK CQmWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CQmWindow* window = nullptr;
    if (message == WM_NCCREATE) {
        window = static_cast<CQmWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        window->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    } else {
        window = FromHwnd(hwnd);
    }
    if (!window) return DefWindowProcW(hwnd, message, wParam, lParam);
    const LRESULT result = window->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The object stays; the window is gone.
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        if (window->previousProc_) {
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(window->previousProc_));
        }
        window->hwnd_ = nullptr;
        window->previousProc_ = nullptr;
    }
    return result;
}

void CQmMessageLoop::RemoveFilter(IQmMessageFilter* filter) { std::erase(filters_, filter); }

void CQmMessageLoop::RemoveIdleHandler(IQmIdleHandler* handler) { std::erase(idleHandlers_, handler); }

void CQmMessageLoop::Dispatch(MSG& message) {
    // The newest filter first: a dialog opened later sees its keys first.
    for (auto filter = filters_.rbegin(); filter != filters_.rend(); ++filter) {
        if ((*filter)->PreTranslateMessage(message)) return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

int CQmMessageLoop::Run() {
    bool idle = true;
    MSG message{};
    for (;;) {
        while (idle && !PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            bool more = false;
            // A copy: a handler may remove itself.
            const std::vector<IQmIdleHandler*> handlers = idleHandlers_;
            for (IQmIdleHandler* handler : handlers) more |= handler->OnIdle();
            if (!more) idle = false;
        }
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) continue;
        if (got == 0) return static_cast<int>(message.wParam);
        Dispatch(message);
        switch (message.message) {
        case WM_MOUSEMOVE:
        case WM_NCMOUSEMOVE:
        case WM_PAINT:
        case 0x0118:  // the system timer of a blinking caret
            break;
        default:
            idle = true;
            break;
        }
    }
}

CQmMessageLoop& CQmMessageLoop::ForThread() {
    thread_local CQmMessageLoop loop;
    return loop;
}

int ScalePixels(int pixels) {
    static const int dpi = [] {
        const HDC screen = GetDC(nullptr);
        const int value = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
        if (screen) ReleaseDC(nullptr, screen);
        return value > 0 ? value : 96;
    }();
    return MulDiv(pixels, dpi, 96);
}

}  // namespace qm::win32
