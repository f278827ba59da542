#include "gui/app/CTarnView.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QUrl>

#include "core/app/CTarnDoc.h"
#include "core/app/StartupSettings.h"
#include "core/app/WorkerDocument.h"
#include "core/common/StringTable.h"
#include "core/common/ViewNotifications.h"
#include "core/discovery/SubnetList.h"
#include "core/settings/SettingsPath.h"
#include "core/terminals/RefreshTerminals.h"
#include "core/terminals/TerminalDatabase.h"
#include "gui/app/CAboutDlg.h"
#include "gui/app/CMainFrame.h"
#include "gui/common/InputBlocker.h"
#include "gui/discovery/CDiscoverMonitorDlg.h"
#include "gui/download/CDownloadConfigDlg.h"
#include "gui/setup/CSetupDlg.h"
#include "gui/traps/CTrapMonitorDlg.h"
#include "ui_CTarnView.h"

namespace {
QString Text(int id) {
    return QString::fromStdString(LoadResString(id));
}
QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// Workers' messages to the view, posted to its thread; dropped once the view is gone.
class PostedViewNotifications final : public IViewNotifications {
public:
    explicit PostedViewNotifications(CTarnView* view) : m_view(view) {}
    void PostDiscoveryDone() override {
        if (m_view) {
            QMetaObject::invokeMethod(m_view, &CTarnView::OnDiscoveryDone, Qt::QueuedConnection);
        }
    }
    void PostTrapNewUnits() override {
        if (m_view) {
            QMetaObject::invokeMethod(m_view, &CTarnView::OnTrapNewUnits, Qt::QueuedConnection);
        }
    }

private:
    QPointer<CTarnView> m_view;
};
}  // namespace

CTarnView::CTarnView(CTarnDoc& doc, CMainFrame* frame)
    : QWidget(frame),
      m_doc(doc),
      m_frame(frame),
      m_ui(std::make_unique<Ui::CTarnView>()),
      m_notifications(std::make_unique<PostedViewNotifications>(this)) {
    m_ui->setupUi(this);
    m_pDiscoverMonitor = std::make_unique<CDiscoverMonitorDlg>(this);
    LoadProcessWideSettings(m_doc);
    LoadDiscoverySettings(m_doc);
    m_implementedCommands.insert(cmd::kDiscover);
    if (QAction* discover = m_frame->CommandAction(cmd::kDiscover)) {
        connect(discover, &QAction::triggered, this, &CTarnView::OnDiscover);
    }
    connect(m_frame, &CMainFrame::updateCommandUi, this, &CTarnView::UpdateCommandUi);
    connect(m_ui->refreshButton, &QPushButton::clicked, this, &CTarnView::RefreshAndValidateAll);
    connect(m_ui->clearAllButton, &QPushButton::clicked, this, &CTarnView::OnClearAll);
    connect(m_ui->terminalList, &QTreeWidget::itemSelectionChanged, this,
            &CTarnView::OnSelectionChanged);
    m_implementedCommands.insert(cmd::kSetup);
    if (QAction* setup = m_frame->CommandAction(cmd::kSetup)) {
        connect(setup, &QAction::triggered, this, &CTarnView::OnSetup);
    }
    m_implementedCommands.insert(cmd::kTrapMonitor);
    if (QAction* trapMonitor = m_frame->CommandAction(cmd::kTrapMonitor)) {
        connect(trapMonitor, &QAction::triggered, this, &CTarnView::OnTrapMonitor);
    }
    m_implementedCommands.insert(cmd::kDownloadConfiguration);
    if (QAction* download = m_frame->CommandAction(cmd::kDownloadConfiguration)) {
        connect(download, &QAction::triggered, this, &CTarnView::OnDownloadConfiguration);
    }
}

CTarnView::~CTarnView() {
    m_pDiscoverMonitor.reset();
    // Stops the trap listener and waits for it before the database is released.
    m_pTrapMonitor.reset();
    if (m_refreshThread.joinable()) {
        m_refreshThread.request_stop();
        m_refreshThread.join();
    }
    g_Terminals.Clear();
}

void CTarnView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_initialUpdateDone) {
        m_initialUpdateDone = true;
        OnInitialUpdate();
    }
}

void CTarnView::OnInitialUpdate() {
    RefreshAndValidateAll();
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
    OnTrapMonitor();
}

void CTarnView::OnTrapMonitor() {
    if (!m_pTrapMonitor) {
        m_pTrapMonitor = std::make_unique<CTrapMonitorDlg>(this);
    }
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
    topics->setProperty("commandId", 57670);
    topics->setStatusTip(Text(57670));
    QAction* about = help->addAction(tr("&About Manager..."));
    about->setObjectName("actionAbout");
    about->setProperty("commandId", 57664);
    connect(topics, &QAction::triggered, this, [this] {
        // The help is the README installed beside the program, when there is one.
        QFileInfo readme(QFileInfo(Q(ExecutablePath())).dir(), "README.md");
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

void CTarnView::SetStatus(const QString& text) {
    m_strStatus = text;
    if (m_pStatusBar) {
        m_pStatusBar->SetMessageText(text);
    }
}

void CTarnView::EnableButtons(bool enable) {
    m_ui->refreshButton->setEnabled(enable);
    m_ui->clearAllButton->setEnabled(enable);
}

void CTarnView::RefreshAndValidateAll() {
    if (m_refreshing) {
        m_refreshPending = true;
        return;
    }
    StartRefresh();
}

void CTarnView::StartRefresh() {
    m_refreshing = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString text = Text(ids::kRefreshAndValidate) + " - " + Text(ids::kPleaseWait);
    SetStatus(text);
    SetBanner(text);
    EnableButtons(false);
    m_inputBlocker = std::make_unique<InputBlocker>();
    if (m_refreshThread.joinable()) {
        m_refreshThread.join();
    }
    m_refreshThread = std::jthread([this](std::stop_token stop) {
        WorkerDocument worker(m_doc, stop);
        RefreshAndValidateTerminals(worker.Doc(), stop);
        QMetaObject::invokeMethod(this, &CTarnView::FinishRefresh, Qt::QueuedConnection);
    });
}

void CTarnView::FinishRefresh() {
    m_refreshThread.join();
    m_inputBlocker.reset();
    QTreeWidget* list = m_ui->terminalList;
    QList<QTreeWidgetItem*> selected = list->selectedItems();
    int noted = selected.isEmpty() ? -1 : list->indexOfTopLevelItem(selected.first());

    QSignalBlocker quiet(list);
    list->clear();
    m_ui->dataList->clear();
    std::vector<TerminalEntry> entries = g_Terminals.Entries();
    if (!entries.empty()) {
        std::vector<std::string> macs;
        macs.reserve(entries.size());
        for (const auto& entry : entries) {
            list->addTopLevelItem(new QTreeWidgetItem(QStringList(Q(entry.record.m_strName))));
            macs.push_back(entry.record.m_strMacAdr);
        }
        m_macByItem.Assign(std::move(macs));
        int row = noted >= 0 && noted < list->topLevelItemCount() ? noted : 0;
        QTreeWidgetItem* item = list->topLevelItem(row);
        list->setCurrentItem(item);
        item->setSelected(true);
        if (row == noted) {
            list->scrollToItem(item);
        }
        OnSelectionChanged();
    }
    SetStatus(Text(ids::kReady));
    SetBanner(QString());
    QApplication::restoreOverrideCursor();
    m_refreshing = false;
    emit refreshFinished();

    if (m_closeRequested) {
        m_frame->close();
    } else if (m_refreshPending) {
        m_refreshPending = false;
        StartRefresh();
    }
}

bool CTarnView::QueryClose() {
    if (!m_refreshing) {
        return true;
    }
    m_closeRequested = true;
    m_refreshPending = false;
    m_refreshThread.request_stop();
    return false;
}

void CTarnView::HideMonitorWindows() {
    if (m_pTrapMonitor) {
        m_pTrapMonitor->hide();
    }
    if (m_pDiscoverMonitor && m_pDiscoverMonitor->Window()) {
        m_pDiscoverMonitor->Window()->hide();
    }
}

void CTarnView::OnSelectionChanged() {
    EnableButtons(false);
    m_ui->dataList->clear();
    QTreeWidget* list = m_ui->terminalList;
    QList<QTreeWidgetItem*> selected = list->selectedItems();
    if (!selected.isEmpty()) {
        int row = list->indexOfTopLevelItem(selected.first());
        std::string name = selected.first()->text(0).left(259).toStdString();
        auto mac = m_macByItem.At(row);
        auto entry = mac ? g_Terminals.FindByRow(*mac, name) : std::nullopt;
        if (entry) {
            const TerminalRecord& r = entry->record;
            const std::pair<const char*, const std::string*> rows[] = {
                {"Version", &r.m_strVersion},
                {"Location", &r.m_strLocation},
                {"Contact", &r.m_strContact},
                {"Custom Field 1", &r.m_strCustomField1},
                {"Custom Field 2", &r.m_strCustomField2},
                {"Custom Field 3", &r.m_strCustomField3},
                {"Build #", &r.m_strBuildNum},
                {"ModDate", &r.m_strModDate},
                {"IP Address", &r.m_strIP},
                {"MAC Address", &r.m_strMacAdr},
                {"Platform", &r.m_strPlatForm}};
            for (const auto& [label, value] : rows) {
                m_ui->dataList->addTopLevelItem(
                    new QTreeWidgetItem(QStringList{QString(label), Q(*value)}));
            }
            m_selectedIP.Set(r.m_strIP);
        }
    }
    EnableButtons(true);
}

void CTarnView::OnClearAll() {
    m_ui->terminalList->clear();
    m_ui->dataList->clear();
    g_Terminals.Clear();
    RefreshAndValidateAll();
}

void CTarnView::OnTrapNewUnits() {
    // A refresh under way lists every terminal the database has when it ends,
    // so the prompt would only be wiped by it.
    if (g_Terminals.Empty() || m_refreshing) {
        return;
    }
    QString text = Text(ids::kNewUnitsAdded);
    SetBanner(text);
    SetStatus(text);
    m_ui->refreshButton->setEnabled(true);
}

bool CTarnView::TrapMonitorHasWindow() const {
    return m_pTrapMonitor != nullptr;
}

bool CTarnView::DiscoverMonitorHasWindow() const {
    return m_pDiscoverMonitor && m_pDiscoverMonitor->HasWindow();
}

void CTarnView::OnDiscover() {
    // The command is disabled while a run goes on; a shortcut may still come.
    if (DiscoverMonitorHasWindow()) {
        return;
    }
    EnableButtons(false);
    m_pDiscoverMonitor->Create();
}

void CTarnView::OnDiscoveryDone() {
    // The worker has posted its last message: the window can go, and a fresh
    // object without window waits for the next run.
    m_pDiscoverMonitor.reset();
    m_pDiscoverMonitor = std::make_unique<CDiscoverMonitorDlg>(this);
    RefreshAndValidateAll();
}

void CTarnView::UpdateCommandUi() {
    auto enable = [this](int id, bool on) {
        if (QAction* action = m_frame->CommandAction(id)) {
            action->setEnabled(on && m_implementedCommands.count(id) != 0);
        }
    };
    bool discovering = DiscoverMonitorHasWindow();
    bool haveTerminals = !g_Terminals.Empty();
    enable(cmd::kTrapMonitor, !TrapMonitorHasWindow());
    enable(cmd::kSetup, !discovering);
    if (m_implementedCommands.count(cmd::kDiscover) != 0) {
        // A missing key is reported each time and then counts as not empty.
        bool configured = !m_doc.GetINIValueStr("Misc", "FTPServerName", 1).empty() &&
                          !m_doc.GetINIValueStr("Misc", "DiscoverIPSubNet", 1).empty();
        enable(cmd::kDiscover, !discovering && configured);
    } else {
        enable(cmd::kDiscover, false);
    }
    for (int id : {cmd::kUploadConfiguration, cmd::kDownloadConfiguration, cmd::kDownloadFirmware,
                   cmd::kConfigureTerminalInfo}) {
        enable(id, haveTerminals && !discovering);
    }
    enable(cmd::kSubmitTransfer, true);
}

void CTarnView::OnDownloadConfiguration() {
    // The command is disabled without terminals or while a discovery runs; a
    // shortcut may still come.
    if (DiscoverMonitorHasWindow() || m_doc.State().Terminals().Empty()) {
        return;
    }
    CDownloadConfigDlg(m_doc, m_macByItem, FolderPicker(), m_frame).exec();
}

void CTarnView::OnSetup() {
    // The command is disabled while a discovery runs; a shortcut may still come.
    if (DiscoverMonitorHasWindow()) {
        return;
    }
    CSetupDlg(m_doc, m_frame).exec();
}
