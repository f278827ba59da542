#include "gui/transfer/CProgressNoticeDlg.h"

#include "ui_CProgressNoticeDlg.h"

CProgressNoticeDlg::CProgressNoticeDlg(QWidget* owner) : m_owner(owner) {}

CProgressNoticeDlg::~CProgressNoticeDlg() {
    DestroyWindow();
}

void CProgressNoticeDlg::Create() {
    if (m_window) {
        return;
    }
    // No caption and no buttons: the window only informs; it belongs to no
    // parent window, as a free-standing notice above the dialog that runs.
    m_window = std::make_unique<QDialog>(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
    m_window->setObjectName("progressNotice");
    m_ui = std::make_unique<Ui::CProgressNoticeDlg>();
    m_ui->setupUi(m_window.get());
    m_ui->message1->setText(m_line1);
    m_ui->message2->setText(m_line2);
    if (m_owner) {
        m_window->move(m_owner->window()->geometry().center() - m_window->rect().center());
    }
    m_window->show();
    m_window->raise();
    m_window->repaint();
}

void CProgressNoticeDlg::SetMessages(const QString& line1, const QString& line2) {
    m_line1 = line1;
    m_line2 = line2;
    if (!m_window) {
        return;
    }
    m_ui->message1->setText(line1);
    m_ui->message2->setText(line2);
    // The caller blocks until its step ends, so paint now rather than later.
    m_window->repaint();
}

void CProgressNoticeDlg::DestroyWindow() {
    m_window.reset();
    m_ui.reset();
}
