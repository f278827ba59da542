#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>
#include <set>
#include <stop_token>
#include <thread>

#include "core/common/GuardedText.h"
#include "core/terminals/TerminalDatabase.h"
#include "gui/common/FileSavePicker.h"
#include "gui/common/FolderPicker.h"
#include "gui/traps/CTrapMonitorDlg.h"

class CTarnDoc;
class CDiscoverMonitorDlg;
class CHelpDlg;
class CMainFrame;
class IViewNotifications;
class InputBlocker;
class QCloseEvent;

namespace Ui {
class CTarnView;
}

// The main window's form: the terminal list, the selected terminal's data, the
// banner and the Refresh and Clear All buttons. It decides which commands are
// enabled and starts the other windows.
class CTarnView : public QWidget {
    Q_OBJECT
public:
    CTarnView(CTarnDoc& doc, CMainFrame* frame);
    ~CTarnView() override;

    CTarnDoc& GetDocument() const { return m_doc; }
    Ui::CTarnView& Controls() const { return *m_ui; }
    QString Banner() const { return m_banner; }
    QString Status() const { return m_status; }
    bool IsRefreshing() const { return m_refreshing; }

    // Re-reads and validates every terminal, then rebuilds the list. The reads
    // run on a worker thread; meanwhile the window stays painted and input to
    // it is discarded. A request made while a refresh runs is served after it.
    void RefreshAndValidateAll();
    // Rebuilds the list (and its row table) from the database as it stands,
    // without reading the terminals, keeping the selected row; for dialogs that
    // changed records. Nothing happens while a refresh runs, which ends the same way.
    void RebuildTerminalList();
    // Setup dialog (run modally); also opened at start-up on a first run.
    void OnSetup();
    // Asks the view whether the main window may close now (false while a
    // refresh finishes; the window then closes by itself).
    bool QueryClose();
    // The main window is closing: the monitor windows go with it at once. Their
    // workers stop when the view is destroyed, without waiting for requests.
    void HideMonitorWindows();
    // Stops every worker the view started (discovery, the trap listener, the
    // refresh) and waits for them; their requests in flight end at once.
    void StopWorkers();

    // Whether the two modeless monitor windows exist at the moment.
    bool TrapMonitorHasWindow() const;
    bool DiscoverMonitorHasWindow() const;
    // What the workers use to reach this view (posted to the GUI thread).
    IViewNotifications& Notifications() { return *m_notifications; }
    // The Discover Monitor object (a fresh one, without window, between runs).
    CDiscoverMonitorDlg* DiscoverMonitor() const { return m_discoverMonitor.get(); }
    // The MAC address of each row of the list as of its last refresh; the
    // dialogs' terminal lists map their rows through it.
    const MacByItemTable& MacByItem() const { return m_macByItem; }
    // The address of the terminal whose details the list showed last.
    std::string SelectedIP() const { return m_selectedIP.Get(); }
    // How the dialogs' "..." buttons pick a directory (tests answer in advance).
    IFolderPicker& FolderPicker() const { return *m_folderPicker; }
    void SetFolderPicker(IFolderPicker& picker) { m_folderPicker = &picker; }
    // How the "Save As" commands (the exported list, the monitors' logs) pick
    // their file (tests answer in advance).
    IFileSavePicker& FileSavePicker() const { return *m_fileSavePicker; }
    void SetFileSavePicker(IFileSavePicker& picker) { m_fileSavePicker = &picker; }
    // The Trap Monitor, once created.
    CTrapMonitorDlg* TrapMonitor() const { return m_trapMonitor; }

public slots:
    void updateCommandUi();
    void OnTrapNewUnits();
    void OnDiscoveryDone();
    void OnDiscover();
    void OnClearAll();
    // Command 32771: creates the Trap Monitor window when there is none.
    void OnTrapMonitor();
    // Help Topics: the user guide in a window of its own, or why it cannot be shown.
    void OnHelpTopics();
    // Command 32776: the security notice when it is due, then Upload Configuration.
    void OnUploadConfiguration();
    // Command 32778: Submit Upload or Download, to the terminal last selected.
    void OnSubmitXfer();
    // Command 32780: Configure Terminal Information (modal), then a refresh.
    void OnConfigureTerminalInfo();
    // Command 32779: the Download / Upgrade Firmware dialog, run modally.
    void OnDownloadFirmware();
    // Command 32777: the Download Configuration dialog, run modally.
    void OnDownloadConfiguration();
    // File / Export Terminal List: the terminals with their data, as CSV.
    void OnExportTerminalList();

signals:
    void refreshFinished();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnInitialUpdate();
    void AddHelpMenu();
    void ShrinkFrameToFit();
    void SetBanner(const QString& text);
    void SetStatus(const QString& text);
    void EnableButtons(bool enable);
    void StartRefresh();
    void FinishRefresh();
    void RebuildList();
    void OnSelectionChanged();
    // A right click on the terminal list: the terminal's information pop-up.
    void OnTerminalListContextMenu(const QPoint& position);
    // The selected row of the terminal list; -1 for none.
    int SelectedRow() const;

    CTarnDoc& m_doc;
    CMainFrame* m_frame;
    std::unique_ptr<Ui::CTarnView> m_ui;
    QString m_banner;
    QString m_status;
    CMainFrame* m_statusBar = nullptr;  // the frame that owns the status bar, once shown
    bool m_initialUpdateDone = false;

    bool m_refreshing = false;
    bool m_refreshPending = false;
    bool m_closeRequested = false;
    std::unique_ptr<InputBlocker> m_inputBlocker;
    std::unique_ptr<IViewNotifications> m_notifications;
    std::unique_ptr<CDiscoverMonitorDlg> m_discoverMonitor;
    // Commands whose windows this build has; the others stay disabled.
    std::set<int> m_implementedCommands;
    std::jthread m_refreshThread;
    QPointer<CTrapMonitorDlg> m_trapMonitor;
    QPointer<CHelpDlg> m_helpWindow;
    MacByItemTable m_macByItem;
    QtFolderPicker m_qtFolderPicker;
    IFolderPicker* m_folderPicker = &m_qtFolderPicker;
    QtFileSavePicker m_qtFileSavePicker;
    IFileSavePicker* m_fileSavePicker = &m_qtFileSavePicker;
    GuardedText m_selectedIP;
};
