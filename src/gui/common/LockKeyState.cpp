#include "gui/common/LockKeyState.h"

#include <QGuiApplication>

#ifdef FLEETWARDEN_HAVE_X11
#include <QtGui/qguiapplication_platform.h>
// Xlib defines macros that collide with Qt names; include it last.
#include <X11/XKBlib.h>
#endif

LockKeyState QueryLockKeyState() {
    LockKeyState state;
#ifdef FLEETWARDEN_HAVE_X11
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display()) {
        return state;
    }
    unsigned int indicators = 0;
    if (XkbGetIndicatorState(x11->display(), XkbUseCoreKbd, &indicators) == Success) {
        state.capsLock = (indicators & 0x1u) != 0;
        state.numLock = (indicators & 0x2u) != 0;
        state.scrollLock = (indicators & 0x4u) != 0;
    }
#endif
    return state;
}
