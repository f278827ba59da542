#pragma once

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QProgressBar>
#include <atomic>
#include <memory>

#include "core/discovery/DiscoveryControl.h"

class CTarnView;

namespace Ui {
class CDiscoverMonitorDlg;
}

// The Discover Monitor: a modeless window with the discovery log and a
// progress bar, alive for one discovery run. The object exists without its
// window between runs; Create() makes the window and starts the worker. The
// close box and Escape only ask the worker to stop; the window goes away
// when the owner view, told that the run ended, destroys this object.
//
// The worker calls the IDiscoverMonitor members from its own thread; they
// post the change to the window's thread.
class CDiscoverMonitorDlg final : public QObject, public IDiscoverMonitor {
    Q_OBJECT
public:
    explicit CDiscoverMonitorDlg(CTarnView* ownerView);
    ~CDiscoverMonitorDlg() override;

    // Creates the window and starts a discovery run.
    void Create();
    bool HasWindow() const { return m_window != nullptr; }
    QDialog* Window() const { return m_window.get(); }
    Ui::CDiscoverMonitorDlg& Controls() const { return *m_ui; }
    QProgressBar* ProgressBar() const { return m_progress; }
    // The index of the next log line.
    int LineCount() const { return m_lineCount; }

    // Destroys the window. A run still going passes over what is left and
    // ends; returns its exit code (kDiscoveryEnded when none ran).
    unsigned DestroyWindow();

    // The cancel command of the window (close box, Escape): a stop request.
    void OnCancel();
    // The log's context command: its lines as shown, into a file the user
    // picks. The file is asked for after this call returns, from the view,
    // since the run may end and take the window while the dialog is open.
    void SaveLogAs();

    void AddLine(const std::string& line) override;
    bool ProgressHasWindow() const override { return m_progressHasWindow; }
    void SetProgressPos(int position) override;
    IViewNotifications& OwnerView() override;

private:
    void AppendLine(const QString& line);

    CTarnView* m_ownerView;
    // The monitor alone owns its window, which has no Qt parent.
    std::unique_ptr<QDialog> m_window;
    std::unique_ptr<Ui::CDiscoverMonitorDlg> m_ui;
    QPointer<QProgressBar> m_progress;
    int m_lineCount = 0;
    std::atomic<bool> m_progressHasWindow{false};
    DiscoveryWorker m_worker;
};
