#include "gui/common/InputBlocker.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace {
bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return true;
        default:
            return false;
    }
}
}  // namespace

InputBlocker::InputBlocker() {
    qApp->installEventFilter(this);
}

InputBlocker::~InputBlocker() {
    qApp->removeEventFilter(this);
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
    if (!IsUserInput(event->type())) {
        return false;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) {
        return true;
    }
    // Input reaches a window first, then its widgets; both are let through for the modal one.
    if (auto* window = qobject_cast<QWindow*>(watched)) {
        return window != modal->windowHandle();
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    return !(widget && widget->window() == modal);
}
