#pragma once

#include <QObject>

// While it exists, keyboard and mouse input to the application's windows is
// discarded, except input to a modal window opened meanwhile (a message box a
// worker shows must still be dismissable). Paint and timer events go on.
class InputBlocker : public QObject {
    Q_OBJECT
public:
    InputBlocker();
    ~InputBlocker() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
