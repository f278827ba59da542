#pragma once

class QWidget;

// The modal dialogs and message boxes belong to the scope that runs them, and
// the Discover Monitor's window to its monitor, so none of them has a Qt parent:
// the parent would own it as well. This gives such a window what the parent
// gave besides: shown, it is centred over the owner's window, stays above it,
// and does not count as a main window of its own. A null owner leaves the
// window free-standing.
void SetOwnerWindow(QWidget& window, QWidget* owner);
