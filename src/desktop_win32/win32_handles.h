// Owners of the window system's handles and of COM interfaces: each one
// move-only and released exactly once, by the object that holds it.
#pragma once

#include "desktop_win32/win32_api.h"
#include <commctrl.h>
#include <objbase.h>

#include <utility>

namespace qm::win32 {

// A handle with a release function; empty when it holds `Empty`.
template <class Handle, auto Free, Handle Empty = Handle{}>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Empty)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, Empty);
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != Empty; }
    Handle Release() { return std::exchange(handle_, Empty); }
    void Reset(Handle handle = Empty) {
        if (handle_ != Empty) Free(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Empty;
};

inline void DestroyMenuHandle(HMENU menu) { DestroyMenu(menu); }
inline void DestroyAcceleratorTableHandle(HACCEL table) { DestroyAcceleratorTable(table); }
inline void DestroyImageListHandle(HIMAGELIST list) { ImageList_Destroy(list); }
inline void DestroyIconHandle(HICON icon) { DestroyIcon(icon); }
inline void DeleteGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void CloseKernelHandle(HANDLE handle) { CloseHandle(handle); }
inline void ReleaseDc(HDC dc) { ReleaseDC(nullptr, dc); }

using UniqueMenu = UniqueHandle<HMENU, DestroyMenuHandle>;
using UniqueAccelerators = UniqueHandle<HACCEL, DestroyAcceleratorTableHandle>;
using UniqueImageList = UniqueHandle<HIMAGELIST, DestroyImageListHandle>;
using UniqueIcon = UniqueHandle<HICON, DestroyIconHandle>;
using UniqueFont = UniqueHandle<HFONT, DeleteGdiObject>;
using UniqueBitmap = UniqueHandle<HBITMAP, DeleteGdiObject>;
using UniqueBrush = UniqueHandle<HBRUSH, DeleteGdiObject>;
using UniqueKernelHandle = UniqueHandle<HANDLE, CloseKernelHandle>;
// The screen's device context.
using UniqueScreenDc = UniqueHandle<HDC, ReleaseDc>;

// A reference to a COM interface, released when it goes.
template <class Interface>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    Interface* Get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // For the functions that hand out a new reference.
    Interface** Put() {
        Reset();
        return &pointer_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset() {
        if (pointer_) std::exchange(pointer_, nullptr)->Release();
    }

private:
    Interface* pointer_ = nullptr;
};

// COM for the calling thread (single-threaded apartment) while it lives.
class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT result_;
};

}  // namespace qm::win32
