#pragma once

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class CProgressNoticeDlg;
}

// The two-line "Please Wait" notice a dialog shows while a long step runs. The
// object lives as long as its owner; its window is created and destroyed any
// number of times.
class CProgressNoticeDlg {
public:
    explicit CProgressNoticeDlg(QWidget* owner);
    ~CProgressNoticeDlg();
    CProgressNoticeDlg(const CProgressNoticeDlg&) = delete;
    CProgressNoticeDlg& operator=(const CProgressNoticeDlg&) = delete;

    // Creates and shows the window.
    void Create();
    bool HasWindow() const { return m_window != nullptr; }
    // Shows both lines at once, without returning to the event loop.
    void SetMessages(const QString& line1, const QString& line2);
    void DestroyWindow();

    QString Line1() const { return m_line1; }
    QString Line2() const { return m_line2; }
    QDialog* Window() const { return m_window.get(); }

private:
    QWidget* m_owner;  // the window it is centred over
    // The notice alone owns its window, which has no Qt parent.
    std::unique_ptr<QDialog> m_window;
    std::unique_ptr<Ui::CProgressNoticeDlg> m_ui;
    QString m_line1;
    QString m_line2;
};
