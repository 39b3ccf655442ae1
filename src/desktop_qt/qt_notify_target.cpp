// Worker end messages as posted Qt events (see qt_notify_target.h).
#include "desktop_qt/qt_notify_target.h"

#include <QCoreApplication>

namespace qm {

QEvent::Type CQmNotifyEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void CQmQtNotifyTarget::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    QCoreApplication::postEvent(receiver_, new CQmNotifyEvent(message, wParam, lParam));
}

}  // namespace qm
