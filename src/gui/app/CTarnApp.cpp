#include "gui/app/CTarnApp.h"

#include <QMessageBox>

#include "core/app/CTarnDoc.h"
#include "core/app/NetworkLayer.h"
#include "core/common/StringTable.h"
#include "core/settings/SettingsPath.h"
#include "core/setup/SetupSettings.h"
#include "core/snmp/SnmpManager.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CTarnView.h"
#include "gui/common/GuiUserMessages.h"

CTarnApp::CTarnApp(int& argc, char** argv, ConsoleOptions options)
    : QApplication(argc, argv), m_options(std::move(options)) {
    setApplicationName("Fleetwarden");
    setApplicationVersion(QString::fromStdString(CTarnDoc::GetVersionText()));
    setWindowIcon(QIcon(":/fleetwarden.png"));
}

CTarnApp::~CTarnApp() {
    // The one place where a run ends, in this order:
    //  1. workers waiting for a message box are let go (later boxes show nothing);
    //  2. every worker is stopped and joined: discovery, the trap listener and
    //     the refresh (a dialog's worker has ended with its dialog already);
    //  3. the windows go: the frame with its view and the monitors;
    //  4. the document, then the shared state the workers used (the terminal
    //     database, communities, subnets, upload target, OID section);
    //  5. last, the SNMP library.
    // No other destructor changes the shared state.
    if (m_messages) {
        m_messages->Shutdown();
    }
    if (m_frame) {
        m_frame->View()->StopWorkers();
    }
    m_frame.reset();
    m_doc.reset();
    m_state.reset();
    ShutdownSnmpLibrary();
}

bool CTarnApp::InitInstance() {
    if (!InitialiseNetworkLayer()) {
        QMessageBox::warning(nullptr, QString::fromStdString(LoadResString(ids::kAppTitle)),
                             QString::fromStdString(LoadResString(ids::kSocketsInitFailed)));
        return false;
    }
    m_messages = std::make_unique<GuiUserMessages>();
    m_state = std::make_unique<SharedState>(ResolveSettingsPath(m_options.settingsPath));
    m_doc = std::make_unique<CTarnDoc>(*m_messages, NetSnmpManager(), *m_state);
    m_frame = std::make_unique<CMainFrame>(*m_doc);
    m_messages->SetOwner(m_frame.get());
    m_frame->show();
    m_frame->activateWindow();
    m_frame->repaint();
    FirstRunCheck();
    m_exitCode = 0;
    return true;
}

void CTarnApp::FirstRunCheck() {
    if (SetupNeededAtStart(*m_doc)) {
        m_frame->View()->OnSetup();
    }
}

int CTarnApp::Run() {
    return exec();
}
