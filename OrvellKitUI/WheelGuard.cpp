#include "OrvellKitUI/WheelGuard.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QWidget>

#include <type_traits>

void WheelGuard::protect(QWidget *page) {
    auto *guard = new WheelGuard(page);
    const auto guardAll = [&](auto *typeTag) {
        using Control = std::remove_pointer_t<decltype(typeTag)>;
        for (Control *control : page->findChildren<Control *>()) {
            // A wheel must not be what gives them the focus either.
            if (control->focusPolicy() == Qt::WheelFocus)
                control->setFocusPolicy(Qt::StrongFocus);
            control->installEventFilter(guard);
        }
    };
    guardAll(static_cast<QAbstractSpinBox *>(nullptr));
    guardAll(static_cast<QAbstractSlider *>(nullptr));
    guardAll(static_cast<QComboBox *>(nullptr));
}

bool WheelGuard::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() != QEvent::Wheel)
        return false;
    auto *control = qobject_cast<QWidget *>(watched);
    if (!control || control->hasFocus())
        return false;
    // Unhandled and unaccepted: the wheel goes on to the page around it.
    event->ignore();
    return true;
}
