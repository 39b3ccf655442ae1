// The worker threads' end messages as Qt events.
//
// A worker calls Post on its own thread; Post only queues an event for the
// receiver (QCoreApplication::postEvent is safe from any thread) and never
// touches a widget. The receiver's event() hands the message to its logic on
// the GUI thread. The receiver must outlive every thread that may post:
// the main window destroys its task runner (which waits for the threads)
// before its own QObject part goes away.
#pragma once

#include <QEvent>

#include "pipeline/notify_target.h"

class QObject;

namespace qm {

class CQmNotifyEvent : public QEvent {
public:
    CQmNotifyEvent(uint32_t message, uintptr_t wParam, intptr_t lParam)
        : QEvent(EventType()), message_(message), wParam_(wParam), lParam_(lParam) {}

    // The event type, registered with Qt on first use.
    static QEvent::Type EventType();

    uint32_t message() const { return message_; }
    uintptr_t wParam() const { return wParam_; }
    intptr_t lParam() const { return lParam_; }

private:
    uint32_t message_;
    uintptr_t wParam_;
    intptr_t lParam_;
};

class CQmQtNotifyTarget : public NotifyTarget {
public:
    explicit CQmQtNotifyTarget(QObject* receiver) : receiver_(receiver) {}
    void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

private:
    QObject* receiver_;
};

}  // namespace qm
