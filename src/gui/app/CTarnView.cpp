#include "gui/app/CTarnView.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

#include "core/app/CTarnDoc.h"
#include "core/app/StartupSettings.h"
#include "core/app/WorkerDocument.h"
#include "core/common/StringTable.h"
#include "core/common/ViewNotifications.h"
#include "core/discovery/SubnetList.h"
#include "core/terminals/RefreshTerminals.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/terminals/TerminalListCsv.h"
#include "gui/app/CAboutDlg.h"
#include "gui/app/CHelpDlg.h"
#include "gui/app/CMainFrame.h"
#include "gui/common/InputBlocker.h"
#include "gui/discovery/CDiscoverMonitorDlg.h"
#include "gui/download/CDownloadConfigDlg.h"
#include "gui/firmware/CDownloadFirmwareDlg.h"
#include "gui/setup/CSecurityInfoDlg.h"
#include "gui/setup/CSetupDlg.h"
#include "gui/terminfo/CTerminalInfoDlg.h"
#include "gui/transfer/CSubmitXferDlg.h"
#include "gui/transfer/CUploadConfigDlg.h"
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
    m_discoverMonitor = std::make_unique<CDiscoverMonitorDlg>(this);
    LoadProcessWideSettings(m_doc);
    ReportMissingDiscoverySettings(m_doc);
    m_implementedCommands.insert(cmd::kDiscover);
    if (QAction* discover = m_frame->CommandAction(cmd::kDiscover)) {
        connect(discover, &QAction::triggered, this, &CTarnView::OnDiscover);
    }
    connect(m_frame, &CMainFrame::updateCommandUi, this, &CTarnView::updateCommandUi);
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
    m_implementedCommands.insert(cmd::kUploadConfiguration);
    if (QAction* upload = m_frame->CommandAction(cmd::kUploadConfiguration)) {
        connect(upload, &QAction::triggered, this, &CTarnView::OnUploadConfiguration);
    }
    m_implementedCommands.insert(cmd::kSubmitTransfer);
    if (QAction* submit = m_frame->CommandAction(cmd::kSubmitTransfer)) {
        connect(submit, &QAction::triggered, this, &CTarnView::OnSubmitXfer);
    }
    m_implementedCommands.insert(cmd::kConfigureTerminalInfo);
    if (QAction* terminalInfo = m_frame->CommandAction(cmd::kConfigureTerminalInfo)) {
        connect(terminalInfo, &QAction::triggered, this, &CTarnView::OnConfigureTerminalInfo);
    }
    m_implementedCommands.insert(cmd::kDownloadFirmware);
    if (QAction* firmware = m_frame->CommandAction(cmd::kDownloadFirmware)) {
        connect(firmware, &QAction::triggered, this, &CTarnView::OnDownloadFirmware);
    }
    m_implementedCommands.insert(cmd::kDownloadConfiguration);
    if (QAction* download = m_frame->CommandAction(cmd::kDownloadConfiguration)) {
        connect(download, &QAction::triggered, this, &CTarnView::OnDownloadConfiguration);
    }
    if (auto* exportList = m_frame->findChild<QAction*>("actionExportTerminalList")) {
        connect(exportList, &QAction::triggered, this, &CTarnView::OnExportTerminalList);
    }
    m_ui->terminalList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_ui->terminalList, &QWidget::customContextMenuRequested, this,
            &CTarnView::OnTerminalListContextMenu);
}

CTarnView::~CTarnView() {
    StopWorkers();
}

void CTarnView::StopWorkers() {
    // A discovery run ends when its window goes; the listener and the refresh
    // are stopped and joined. Their requests in flight end at once.
    if (m_discoverMonitor) {
        m_discoverMonitor->DestroyWindow();
    }
    if (m_trapMonitor) {
        m_trapMonitor->StopListener();
    }
    if (m_refreshThread.joinable()) {
        m_refreshThread.request_stop();
        m_refreshThread.join();
    }
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
    ShrinkFrameToFit();
    m_ui->terminalList->header()->setStretchLastSection(false);
    m_ui->dataList->header()->setStretchLastSection(false);
    m_ui->terminalList->setColumnWidth(0, 200);
    m_ui->dataList->setColumnWidth(0, 100);
    m_ui->dataList->setColumnWidth(1, 400);
    m_statusBar = m_frame;
    AddHelpMenu();
    SetBanner(QString());
    OnTrapMonitor();
}

void CTarnView::OnTrapMonitor() {
    if (!m_trapMonitor) {
        // The view is its parent and owner; the window lives as long as the view.
        m_trapMonitor = new CTrapMonitorDlg(this);
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
    connect(topics, &QAction::triggered, this, &CTarnView::OnHelpTopics);
    connect(about, &QAction::triggered, this, [this] { CAboutDlg(m_doc, m_frame).exec(); });
    connect(help, &QMenu::aboutToShow, m_frame, &CMainFrame::updateCommandUi);
    m_frame->menuBar()->update();
}

void CTarnView::OnHelpTopics() {
    if (!m_helpWindow) {
        m_helpWindow = CHelpDlg::Open(m_frame);
    }
    if (!m_helpWindow) {
        std::string text = LoadResString(ids::kUserGuideMissing);
        for (const std::string& path : CHelpDlg::GuideLocations()) {
            text += "\n" + path;
        }
        m_doc.Messages().ShowMessage(text, MessageIcon::Warning);
        return;
    }
    m_helpWindow->show();
    m_helpWindow->raise();
    m_helpWindow->activateWindow();
}

void CTarnView::SetBanner(const QString& text) {
    m_banner = text;
    m_ui->banner->setText(text);
}

void CTarnView::SetStatus(const QString& text) {
    m_status = text;
    if (m_statusBar) {
        m_statusBar->SetMessageText(text);
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

void CTarnView::RebuildList() {
    QTreeWidget* list = m_ui->terminalList;
    QList<QTreeWidgetItem*> selected = list->selectedItems();
    int noted = selected.isEmpty() ? -1 : list->indexOfTopLevelItem(selected.first());

    QSignalBlocker quiet(list);
    list->clear();
    m_ui->dataList->clear();
    std::vector<TerminalEntry> entries = m_doc.State().Terminals().Entries();
    if (!entries.empty()) {
        std::vector<std::string> macs;
        macs.reserve(entries.size());
        for (const auto& entry : entries) {
            list->addTopLevelItem(new QTreeWidgetItem(QStringList(Q(entry.record.m_name))));
            macs.push_back(entry.record.m_macAdr);
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
}

void CTarnView::FinishRefresh() {
    m_refreshThread.join();
    m_inputBlocker.reset();
    RebuildList();
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

void CTarnView::RebuildTerminalList() {
    if (!m_refreshing) {
        RebuildList();
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
    if (m_trapMonitor) {
        m_trapMonitor->hide();
    }
    if (m_discoverMonitor && m_discoverMonitor->Window()) {
        m_discoverMonitor->Window()->hide();
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
        auto entry = mac ? m_doc.State().Terminals().FindByRow(*mac, name) : std::nullopt;
        if (entry) {
            const TerminalRecord& r = entry->record;
            const std::pair<const char*, const std::string*> rows[] = {
                {"Version", &r.m_version},
                {"Location", &r.m_location},
                {"Contact", &r.m_contact},
                {"Custom Field 1", &r.m_customField1},
                {"Custom Field 2", &r.m_customField2},
                {"Custom Field 3", &r.m_customField3},
                {"Build #", &r.m_buildNum},
                {"ModDate", &r.m_modDate},
                {"IP Address", &r.m_ip},
                {"MAC Address", &r.m_macAdr},
                {"Platform", &r.m_platForm}};
            for (const auto& [label, value] : rows) {
                m_ui->dataList->addTopLevelItem(
                    new QTreeWidgetItem(QStringList{QString(label), Q(*value)}));
            }
            m_selectedIP.Set(r.m_ip);
        }
    }
    EnableButtons(true);
}

void CTarnView::OnClearAll() {
    m_ui->terminalList->clear();
    m_ui->dataList->clear();
    m_doc.State().Terminals().Clear();
    RefreshAndValidateAll();
}

void CTarnView::OnTrapNewUnits() {
    // A refresh under way lists every terminal the database has when it ends,
    // so the prompt would only be wiped by it.
    if (m_doc.State().Terminals().Empty() || m_refreshing) {
        return;
    }
    QString text = Text(ids::kNewUnitsAdded);
    SetBanner(text);
    SetStatus(text);
    m_ui->refreshButton->setEnabled(true);
}

bool CTarnView::TrapMonitorHasWindow() const {
    return m_trapMonitor != nullptr;
}

bool CTarnView::DiscoverMonitorHasWindow() const {
    return m_discoverMonitor && m_discoverMonitor->HasWindow();
}

void CTarnView::OnDiscover() {
    // The command is disabled while a run goes on; a shortcut may still come.
    if (DiscoverMonitorHasWindow()) {
        return;
    }
    EnableButtons(false);
    m_discoverMonitor->Create();
}

void CTarnView::OnDiscoveryDone() {
    // The worker has posted its last message: the window can go, and a fresh
    // object without window waits for the next run.
    m_discoverMonitor.reset();
    m_discoverMonitor = std::make_unique<CDiscoverMonitorDlg>(this);
    RefreshAndValidateAll();
}

void CTarnView::updateCommandUi() {
    auto enable = [this](int id, bool on) {
        if (QAction* action = m_frame->CommandAction(id)) {
            action->setEnabled(on && m_implementedCommands.count(id) != 0);
        }
    };
    bool discovering = DiscoverMonitorHasWindow();
    bool haveTerminals = !m_doc.State().Terminals().Empty();
    enable(cmd::kTrapMonitor, !TrapMonitorHasWindow());
    enable(cmd::kSetup, !discovering);
    if (m_implementedCommands.count(cmd::kDiscover) != 0) {
        // A missing key is reported each time and then counts as not empty.
        bool configured =
            !m_doc.GetINIValueStr("Misc", "FTPServerName", IfMissing::Report).empty() &&
            !m_doc.GetINIValueStr("Misc", "DiscoverIPSubNet", IfMissing::Report).empty();
        enable(cmd::kDiscover, !discovering && configured);
    } else {
        enable(cmd::kDiscover, false);
    }
    for (int id : {cmd::kUploadConfiguration, cmd::kDownloadConfiguration, cmd::kDownloadFirmware,
                   cmd::kConfigureTerminalInfo}) {
        enable(id, haveTerminals && !discovering);
    }
    enable(cmd::kSubmitTransfer, true);
    if (auto* exportList = m_frame->findChild<QAction*>("actionExportTerminalList")) {
        exportList->setEnabled(haveTerminals);
    }
}

int CTarnView::SelectedRow() const {
    QList<QTreeWidgetItem*> selected = m_ui->terminalList->selectedItems();
    return selected.isEmpty() ? -1 : m_ui->terminalList->indexOfTopLevelItem(selected.first());
}

void CTarnView::OnUploadConfiguration() {
    // The command is disabled without terminals and while a discovery runs; a
    // shortcut may still come.
    if (m_doc.State().Terminals().Empty() || DiscoverMonitorHasWindow()) {
        return;
    }
    CSecurityInfoDlg::ShowIfWanted(m_doc, m_frame);
    CUploadConfigDlg(m_doc, m_macByItem, SelectedRow(), *m_folderPicker, m_frame).exec();
}

void CTarnView::OnSubmitXfer() {
    CSubmitXferDlg(m_doc, SelectedIP(), m_frame).exec();
}

void CTarnView::OnConfigureTerminalInfo() {
    // The command is disabled in these states; a shortcut may still come.
    if (DiscoverMonitorHasWindow() || m_doc.State().Terminals().Empty()) {
        return;
    }
    {
        CTerminalInfoDlg dialog(m_doc, m_macByItem, SelectedRow(), m_frame);
        connect(&dialog, &CTerminalInfoDlg::terminalsChanged, this,
                &CTarnView::RebuildTerminalList);
        dialog.exec();
    }
    RefreshAndValidateAll();
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

void CTarnView::OnDownloadFirmware() {
    // Disabled without terminals or while a discovery runs; a shortcut may still come.
    if (m_doc.State().Terminals().Empty() || DiscoverMonitorHasWindow()) {
        return;
    }
    CDownloadFirmwareDlg(m_doc, m_macByItem, *m_folderPicker, m_frame).exec();
}

void CTarnView::OnExportTerminalList() {
    // The database as it stands, as the command line's list prints it.
    SaveTextAs(*m_fileSavePicker, m_doc.Messages(), m_frame, tr("Export Terminal List"),
               "terminals.csv", TerminalListCsv(m_doc.State().Terminals().Entries()));
}

void CTarnView::OnTerminalListContextMenu(const QPoint& position) {
    // The item under the pointer, as the dialogs' lists show it; nothing
    // elsewhere.
    QTreeWidget* list = m_ui->terminalList;
    if (QTreeWidgetItem* item = list->itemAt(position)) {
        m_doc.ShowTerminalInfo(m_macByItem, item->text(0).toStdString(),
                               list->indexOfTopLevelItem(item));
    }
}
