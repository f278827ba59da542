#include "gui/firmware/CDownloadFirmwareDlg.h"

#include <memory>

#include "core/app/CTarnDoc.h"
#include "core/app/WorkerDocument.h"
#include "core/firmware/FirmwareDownload.h"
#include "core/terminals/TerminalDatabase.h"
#include "gui/common/DialogWorker.h"
#include "gui/common/FolderPicker.h"
#include "gui/common/OwnerWindow.h"
#include "gui/common/TerminalInfoPopup.h"
#include "gui/transfer/CProgressNoticeDlg.h"
#include "ui_CDownloadFirmwareDlg.h"

CDownloadFirmwareDlg::CDownloadFirmwareDlg(CTarnDoc& doc, const MacByItemTable& macByItem,
                                           IFolderPicker& folderPicker, QWidget* owner)
    : m_doc(doc),
      m_macByItem(macByItem),
      m_folderPicker(folderPicker),
      m_ui(std::make_unique<Ui::CDownloadFirmwareDlg>()),
      m_progressNotice(std::make_unique<CProgressNoticeDlg>(this)),
      m_worker(std::make_unique<DialogWorker>(*m_progressNotice)) {
    SetOwnerWindow(*this, owner);
    m_ui->setupUi(this);
    connect(m_ui->okButton, &QPushButton::clicked, this, &CDownloadFirmwareDlg::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &CDownloadFirmwareDlg::reject);
    connect(m_ui->browseButton, &QPushButton::clicked, this, &CDownloadFirmwareDlg::OnBrowse);
    InstallTerminalInfoPopup(m_doc, m_macByItem, m_ui->destinationList);
    OnInitDialog();
}

CDownloadFirmwareDlg::~CDownloadFirmwareDlg() = default;

bool CDownloadFirmwareDlg::IsRunning() const {
    return m_worker->IsRunning();
}

void CDownloadFirmwareDlg::OnInitDialog() {
    std::vector<TerminalEntry> entries = m_doc.State().Terminals().Entries();
    for (const auto& entry : entries) {
        m_ui->destinationList->addItem(QString::fromStdString(entry.record.m_name));
    }
    m_ui->okButton->setEnabled(!entries.empty());
    m_ui->firmwarePathEdit->setText(
        QString::fromStdString(m_doc.GetINIValueStr("Misc", "DnloadFWPath", IfMissing::Report)));
}

void CDownloadFirmwareDlg::OnBrowse() {
    QString chosen = m_folderPicker.PickFolder(this, m_ui->firmwarePathEdit->text());
    if (!chosen.isEmpty()) {
        m_ui->firmwarePathEdit->setText(chosen);
    }
}

void CDownloadFirmwareDlg::accept() {
    if (m_worker->IsRunning()) {
        return;
    }
    // Selected entries in ascending order, as the list holds them.
    std::vector<std::pair<int, std::string>> rows;
    for (int row = 0; row < m_ui->destinationList->count(); ++row) {
        QListWidgetItem* item = m_ui->destinationList->item(row);
        if (item->isSelected()) {
            rows.emplace_back(row, item->text().toStdString());
        }
    }
    std::vector<FirmwareTarget> targets = FirmwareTargetsOfRows(m_macByItem, rows);
    std::string path = m_ui->firmwarePathEdit->text().toStdString();
    auto run = std::make_shared<FirmwareRunEnd>(FirmwareRunEnd::CheckFailed);
    m_worker->Start(
        [this, run, path, targets](std::stop_token stop, IProgressNotice& notice) {
            WorkerDocument worker(m_doc, stop);
            *run = DownloadFirmware(worker.Doc(), m_ftpClient, path, targets, notice, stop).end;
        },
        [this, run] {
            if (*run != FirmwareRunEnd::CheckFailed) {
                QDialog::accept();
            }
        });
}

void CDownloadFirmwareDlg::reject() {
    // Closing is refused while the run goes on; it ends by itself.
    if (!m_worker->IsRunning()) {
        QDialog::reject();
    }
}
