#include "gui/common/OwnerWindow.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace {

// Ties the window to its owner's each time it is shown, before it appears and
// before a dialog places itself: both native windows exist by then, as they do
// when Qt ties a window to its parent's.
class OwnerWindowLink final : public QObject {
public:
    OwnerWindowLink(QWidget& window, QWidget& owner) : QObject(&window), m_owner(&owner) {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && m_owner) {
            QWindow* shown = static_cast<QWidget*>(watched)->windowHandle();
            QWindow* owner = m_owner->window()->windowHandle();
            if (shown && owner && shown != owner) {
                shown->setTransientParent(owner);
            }
        }
        return false;
    }

private:
    QPointer<QWidget> m_owner;
};

}  // namespace

void SetOwnerWindow(QWidget& window, QWidget* owner) {
    if (owner) {
        // A child object of the window, which goes with it.
        new OwnerWindowLink(window, *owner);
    }
}
