#include "app/CTarnView.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QUrl>

#include "app/CAboutDlg.h"
#include "app/CMainFrame.h"
#include "app/CTarnDoc.h"
#include "app/StartupSettings.h"
#include "common/StringTable.h"
#include "settings/SettingsPath.h"
#include "ui_CTarnView.h"

CTarnView::CTarnView(CTarnDoc& doc, CMainFrame* frame)
    : QWidget(frame), m_doc(doc), m_frame(frame), m_ui(std::make_unique<Ui::CTarnView>()) {
    m_ui->setupUi(this);
    LoadProcessWideSettings(m_doc);
    connect(m_frame, &CMainFrame::updateCommandUi, this, &CTarnView::UpdateCommandUi);
}

CTarnView::~CTarnView() = default;

void CTarnView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_initialUpdateDone) {
        m_initialUpdateDone = true;
        OnInitialUpdate();
    }
}

void CTarnView::OnInitialUpdate() {
    g_pDoc = &m_doc;
    ShrinkFrameToFit();
    m_ui->terminalList->header()->setStretchLastSection(false);
    m_ui->dataList->header()->setStretchLastSection(false);
    m_ui->terminalList->setColumnWidth(0, 200);
    m_ui->dataList->setColumnWidth(0, 100);
    m_ui->dataList->setColumnWidth(1, 400);
    m_pStatusBar = m_frame;
    AddHelpMenu();
    SetBanner(QString());
    UpdateCommandUi();
}

void CTarnView::ShrinkFrameToFit() {
    QSize wanted = m_frame->sizeHint();
    QSize now = m_frame->size();
    m_frame->resize(std::min(now.width(), wanted.width()), std::min(now.height(), wanted.height()));
}

void CTarnView::AddHelpMenu() {
    QMenu* help = m_frame->menuBar()->addMenu(tr("&Help"));
    help->setObjectName("menuHelp");
    QAction* topics = help->addAction(tr("&Help Topics"));
    topics->setObjectName("actionHelpTopics");
    topics->setProperty("commandId", cmd::kHelpTopics);
    topics->setStatusTip(QString::fromStdString(LoadResString(cmd::kHelpTopics)));
    QAction* about = help->addAction(tr("&About Manager..."));
    about->setObjectName("actionAbout");
    about->setProperty("commandId", cmd::kAppAbout);
    connect(topics, &QAction::triggered, this, [this] {
        // The help is the README installed beside the program, when there is one.
        QFileInfo readme(QFileInfo(QString::fromStdString(ExecutablePath())).dir(), "README.md");
        if (!readme.exists() ||
            !QDesktopServices::openUrl(QUrl::fromLocalFile(readme.filePath()))) {
            m_doc.Messages().ShowMessage(
                "Fleetwarden's help is its README.md, in the program's source folder.",
                MessageIcon::Information);
        }
    });
    connect(about, &QAction::triggered, this, [this] { CAboutDlg(m_frame).exec(); });
    connect(help, &QMenu::aboutToShow, m_frame, &CMainFrame::updateCommandUi);
    m_frame->menuBar()->update();
}

void CTarnView::SetBanner(const QString& text) {
    m_strBanner = text;
    m_ui->banner->setText(text);
}

void CTarnView::UpdateCommandUi() {
    // Commands whose windows are not part of this build stay disabled.
    for (int id : {cmd::kSetup, cmd::kDiscover, cmd::kUploadConfiguration,
                   cmd::kDownloadConfiguration, cmd::kDownloadFirmware, cmd::kConfigureTerminalInfo,
                   cmd::kTrapMonitor, cmd::kSubmitTransfer}) {
        if (QAction* action = m_frame->CommandAction(id)) {
            action->setEnabled(false);
        }
    }
}

void CTarnView::OnSetup() {
    // The Setup dialog is not part of this build yet.
}
