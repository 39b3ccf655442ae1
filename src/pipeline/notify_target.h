// Receiver of the worker threads' end messages.
//
// A worker never touches the front end: when its body returns it posts one
// message and ends. Post is called on the worker thread; an implementation
// only queues the message for its own thread (the desktop program posts an
// event to the main window, the command-line program wakes its wait) and
// must not block.
#pragma once

#include <cstdint>

namespace qm {

inline constexpr uint32_t QM_WM_USER = 0x0400;
// Enumeration ended. wParam 1 when the thread recorded no error text;
// lParam 1 when it was stopped on request, 0 when it completed.
inline constexpr uint32_t WMU_ENUM_DONE = QM_WM_USER + 1;
// Hashing ended (end of the stream reached, or no engine). wParam 1, lParam 0.
inline constexpr uint32_t WMU_HASH_DONE = QM_WM_USER + 2;
// The totals shown by the front end are out of date.
inline constexpr uint32_t WMU_UPDATE_TOTALS = QM_WM_USER + 3;

class NotifyTarget {
public:
    virtual ~NotifyTarget() = default;
    virtual void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
};

}  // namespace qm
