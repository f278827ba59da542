#include "gui/common/GuiUserMessages.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include "core/common/StringTable.h"
#include "gui/common/OwnerWindow.h"

GuiUserMessages::GuiUserMessages(QObject* parent) : QObject(parent) {}

GuiUserMessages::~GuiUserMessages() {
    Shutdown();
}

void GuiUserMessages::ShowMessage(const std::string& text, MessageIcon icon) {
    if (QThread::currentThread() == thread()) {
        ShowNow(text, icon);
        return;
    }
    auto pending = std::make_shared<std::promise<void>>();
    std::future<void> dismissed = pending->get_future();
    {
        std::lock_guard lock(m_mutex);
        if (m_closing) {
            return;
        }
        m_pending.insert(pending);
    }
    QMetaObject::invokeMethod(
        this,
        [this, pending, text, icon] {
            ShowNow(text, icon);
            Complete(pending);
        },
        Qt::QueuedConnection);
    dismissed.wait();
}

void GuiUserMessages::Shutdown() {
    std::lock_guard lock(m_mutex);
    m_closing = true;
    for (const auto& pending : m_pending) {
        pending->set_value();
    }
    m_pending.clear();
}

void GuiUserMessages::Complete(const std::shared_ptr<std::promise<void>>& pending) {
    std::lock_guard lock(m_mutex);
    if (m_pending.erase(pending) != 0) {
        pending->set_value();
    }
}

void GuiUserMessages::ShowNow(const std::string& text, MessageIcon icon) {
    {
        std::lock_guard lock(m_mutex);
        if (m_closing) {
            return;
        }
    }
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    if (icon == MessageIcon::Warning) {
        boxIcon = QMessageBox::Warning;
    } else if (icon == MessageIcon::Information) {
        boxIcon = QMessageBox::Information;
    }
    QWidget* owner = m_ownerWindow ? m_ownerWindow.data() : QApplication::activeWindow();
    // The box belongs to this scope; the owner window only places it.
    QMessageBox box(boxIcon, QString::fromStdString(LoadResString(ids::kAppTitle)),
                    QString::fromStdString(text), QMessageBox::Ok);
    SetOwnerWindow(box, owner);
    box.exec();
}
