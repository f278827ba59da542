#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <memory>

class CTarnDoc;
class CTarnView;
class QAction;

namespace Ui {
class CMainFrame;
}

// Command identifiers of the menu and of the two commands without a menu entry.
namespace cmd {
inline constexpr int kTrapMonitor = 32771;
inline constexpr int kSetup = 32774;
inline constexpr int kDiscover = 32775;
inline constexpr int kUploadConfiguration = 32776;
inline constexpr int kDownloadConfiguration = 32777;
inline constexpr int kSubmitTransfer = 32778;
inline constexpr int kDownloadFirmware = 32779;
inline constexpr int kConfigureTerminalInfo = 32780;
inline constexpr int kAppAbout = 57664;
inline constexpr int kAppExit = 57665;
inline constexpr int kHelpTopics = 57670;
inline constexpr int kViewStatusBar = 59393;
}  // namespace cmd

// The main window: menu, status bar (message pane and the Caps, Num and Scroll
// Lock indicators) and the terminal list view.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CTarnDoc& doc, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CTarnView* View() const { return m_view; }
    // The action of a command identifier, or null.
    QAction* CommandAction(int commandId) const;
    // Pane 0 of the status bar.
    void SetMessageText(const QString& text);
    QString MessageText() const;
    QLabel* IndicatorPane(int index) const;

signals:
    // Emitted before any menu is shown, so the view can enable its commands.
    void updateCommandUi();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateStatusBarPanes();
    void ApplyPrompts();
    void RefreshLockIndicators();

    std::unique_ptr<Ui::CMainFrame> m_ui;
    CTarnView* m_view = nullptr;
    QLabel* m_messagePane = nullptr;
    QLabel* m_indicators[3] = {};
    QTimer m_indicatorTimer;
};
