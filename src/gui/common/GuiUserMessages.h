#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <future>
#include <memory>
#include <mutex>
#include <set>

#include "core/common/UserMessages.h"

// Message boxes of the console. A call from the GUI thread shows the box at
// once; a call from a worker thread has the GUI thread show it and waits until
// the user dismissed it. Once the console shuts down, waiting workers are
// released and later calls show nothing, so no worker can hold up the exit.
class GuiUserMessages final : public QObject, public IUserMessages {
    Q_OBJECT
public:
    explicit GuiUserMessages(QObject* parent = nullptr);
    ~GuiUserMessages() override;

    void ShowMessage(const std::string& text, MessageIcon icon) override;
    // The window the boxes show over; without one, the active window.
    void SetOwner(QWidget* window) { m_ownerWindow = window; }
    void Shutdown();

private:
    void ShowNow(const std::string& text, MessageIcon icon);
    void Complete(const std::shared_ptr<std::promise<void>>& pending);

    QPointer<QWidget> m_ownerWindow;
    std::mutex m_mutex;
    bool m_closing = false;
    std::set<std::shared_ptr<std::promise<void>>> m_pending;
};
