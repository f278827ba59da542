#include "gui/transfer/CUploadConfigDlg.h"

#include "core/app/CTarnDoc.h"
#include "core/app/WorkerDocument.h"
#include "core/staging/FtpClient.h"
#include "core/terminals/TerminalDatabase.h"
#include "gui/common/FolderPicker.h"
#include "gui/common/OwnerWindow.h"
#include "gui/common/TerminalInfoPopup.h"
#include "ui_CUploadConfigDlg.h"

CUploadConfigDlg::CUploadConfigDlg(CTarnDoc& doc, const MacByItemTable& macByItem, int mainRow,
                                   IFolderPicker& folderPicker, QWidget* owner)
    : m_doc(doc),
      m_macByItem(macByItem),
      m_mainRow(mainRow),
      m_folderPicker(folderPicker),
      m_ui(std::make_unique<Ui::CUploadConfigDlg>()),
      m_notice(this),
      m_worker(m_notice) {
    SetOwnerWindow(*this, owner);
    m_ui->setupUi(this);
    InstallTerminalInfoPopup(m_doc, m_macByItem, m_ui->terminalList);
    connect(m_ui->browseButton, &QPushButton::clicked, this, &CUploadConfigDlg::OnBrowse);
    connect(m_ui->okButton, &QPushButton::clicked, this, &CUploadConfigDlg::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &CUploadConfigDlg::reject);
}

CUploadConfigDlg::~CUploadConfigDlg() = default;

void CUploadConfigDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_initialised) {
        m_initialised = true;
        OnInitDialog();
    }
}

void CUploadConfigDlg::OnInitDialog() {
    std::vector<TerminalEntry> entries = m_doc.State().Terminals().Entries();
    for (const auto& entry : entries) {
        m_ui->terminalList->addItem(QString::fromStdString(entry.record.m_name));
    }
    m_ui->okButton->setEnabled(!entries.empty());
    if (m_mainRow >= 0 && m_mainRow < m_ui->terminalList->count()) {
        m_ui->terminalList->setCurrentRow(m_mainRow);
    } else {
        m_ui->terminalList->clearSelection();
    }
    m_ui->pathEdit->setText(
        QString::fromStdString(m_doc.GetINIValueStr("Misc", "DnloadPath", IfMissing::Report)));
}

void CUploadConfigDlg::OnBrowse() {
    QString picked = m_folderPicker.PickFolder(this, m_ui->pathEdit->text());
    if (!picked.isEmpty()) {
        m_ui->pathEdit->setText(picked);
    }
}

void CUploadConfigDlg::accept() {
    if (m_worker.IsRunning()) {
        return;
    }
    UploadChoice choice;
    choice.path = m_ui->pathEdit->text().toStdString();
    QList<QListWidgetItem*> selected = m_ui->terminalList->selectedItems();
    if (!selected.isEmpty()) {
        choice.row = m_ui->terminalList->row(selected.first());
        choice.name = selected.first()->text().toStdString();
    }
    m_worker.Start(
        [this, choice, timeout = m_trapTimeout](std::stop_token stop, IProgressNotice& notice) {
            WorkerDocument worker(m_doc, stop);
            CurlFtpClient ftp;
            m_lastEnd =
                UploadConfiguration(worker.Doc(), m_macByItem, choice, ftp, notice, stop, timeout);
        },
        [this] { OnUploadEnded(); });
}

void CUploadConfigDlg::OnUploadEnded() {
    emit uploadEnded();
    if (!UploadLeavesDialogOpen(m_lastEnd)) {
        QDialog::accept();
    }
}

void CUploadConfigDlg::reject() {
    // Escape or the close box while the upload runs would leave it unheard.
    if (m_worker.IsRunning()) {
        return;
    }
    QDialog::reject();
}
