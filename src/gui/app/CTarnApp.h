#pragma once

#include <QApplication>
#include <memory>

#include "gui/app/ConsoleOptions.h"

class CMainFrame;
class CTarnDoc;
class GuiUserMessages;
class SharedState;

// The application object: the start-up sequence and the orderly end of a run.
class CTarnApp : public QApplication {
    Q_OBJECT
public:
    CTarnApp(int& argc, char** argv, ConsoleOptions options = {});
    ~CTarnApp() override;

    // Runs the start-up steps; false ends the program at once.
    bool InitInstance();
    int Run();
    int ExitCode() const { return m_exitCode; }
    CMainFrame* MainFrame() const { return m_frame.get(); }

private:
    void FirstRunCheck();

    ConsoleOptions m_options;
    int m_exitCode = 1;
    std::unique_ptr<GuiUserMessages> m_messages;
    std::unique_ptr<SharedState> m_state;
    std::unique_ptr<CTarnDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
};
