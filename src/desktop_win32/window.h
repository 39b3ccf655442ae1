// The small window framework of the Windows program: a window object behind
// one window procedure, and the message loop with its message filters and
// idle handlers.
//
// CQmWindow registers its class once and finds its object through
// GWLP_USERDATA, set at WM_NCCREATE; every message then goes to the object's
// HandleMessage, whose default is the class's default procedure. The object
// outlives its window: WM_NCDESTROY detaches it. Subclass wraps a control
// made by the system (the list view) the same way.
//
// CQmMessageLoop runs GetMessageW until WM_QUIT; each message is offered to
// the filters first (accelerators, a modeless dialog), and while no message
// waits the idle handlers run until they report nothing more to do.
//
// User-interface thread only.
#pragma once

#include "desktop_win32/win32_api.h"

#include <string>
#include <string_view>
#include <vector>

namespace qm::win32 {

class CQmWindow {
public:
    CQmWindow() = default;
    virtual ~CQmWindow();
    CQmWindow(const CQmWindow&) = delete;
    CQmWindow& operator=(const CQmWindow&) = delete;

    HWND GetHwnd() const { return hwnd_; }

    // Registers `className` (once per process) with this framework's window
    // procedure; `icon` and `background` may be null.
    static bool RegisterClass(const wchar_t* className, HICON icon, HICON smallIcon, HBRUSH background);
    // Creates the window with this object behind it.
    HWND Create(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle, int x, int y, int width,
                int height, HWND parent, HMENU menuOrId);
    // Takes over a window the system made (a common control): its messages
    // come to HandleMessage first, the rest to its own procedure.
    bool Subclass(HWND hwnd);
    // Destroys the window, if there is one.
    void Destroy();

protected:
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The procedure the window had before (subclassed) or DefWindowProcW.
    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static CQmWindow* FromHwnd(HWND hwnd);

    HWND hwnd_ = nullptr;
    WNDPROC previousProc_ = nullptr;  // set when subclassed
};

class IQmMessageFilter {
public:
    virtual ~IQmMessageFilter() = default;
    // True when the message was taken (translated, or handled by a dialog).
    virtual bool PreTranslateMessage(MSG& message) = 0;
};

class IQmIdleHandler {
public:
    virtual ~IQmIdleHandler() = default;
    // True while there is more to do.
    virtual bool OnIdle() = 0;
};

class CQmMessageLoop {
public:
    void AddFilter(IQmMessageFilter* filter) { filters_.push_back(filter); }
    void RemoveFilter(IQmMessageFilter* filter);
    void AddIdleHandler(IQmIdleHandler* handler) { idleHandlers_.push_back(handler); }
    void RemoveIdleHandler(IQmIdleHandler* handler);
    // Runs until WM_QUIT; its exit code.
    int Run();
    // One message through the filters, or translated and dispatched.
    void Dispatch(MSG& message);

    // The loop of the calling thread (one per thread).
    static CQmMessageLoop& ForThread();

private:
    std::vector<IQmMessageFilter*> filters_;
    std::vector<IQmIdleHandler*> idleHandlers_;
};

// A UTF-16 text of the core as the system's wide text, and back.
inline const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
inline std::wstring_view WideView(std::u16string_view text) {
    return {reinterpret_cast<const wchar_t*>(text.data()), text.size()};
}
inline std::u16string FromWide(std::wstring_view text) {
    return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}

// Pixels at 96 dots per inch in the screen's resolution.
int ScalePixels(int pixels);

}  // namespace qm::win32
