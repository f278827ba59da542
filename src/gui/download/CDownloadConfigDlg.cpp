#include "gui/download/CDownloadConfigDlg.h"

#include "core/app/CTarnDoc.h"
#include "core/app/WorkerDocument.h"
#include "core/common/StringTable.h"
#include "core/download/DownloadDialogFields.h"
#include "core/staging/FtpClient.h"
#include "gui/common/FolderPicker.h"
#include "gui/common/OwnerWindow.h"
#include "gui/common/TerminalInfoPopup.h"
#include "ui_CDownloadConfigDlg.h"

namespace {
constexpr int kOutOfBufferMemory = 162;

std::vector<std::size_t> SelectedRows(const QListWidget& list) {
    std::vector<std::size_t> rows;
    for (int row = 0; row < list.count(); ++row) {
        if (list.item(row)->isSelected()) {
            rows.push_back(static_cast<std::size_t>(row));
        }
    }
    return rows;
}
}  // namespace

CDownloadConfigDlg::CDownloadConfigDlg(CTarnDoc& doc, const MacByItemTable& macByItem,
                                       IFolderPicker& folderPicker, QWidget* owner,
                                       std::unique_ptr<IFtpClient> ftp)
    : m_doc(doc),
      m_macByItem(macByItem),
      m_folderPicker(folderPicker),
      m_ui(std::make_unique<Ui::CDownloadConfigDlg>()),
      m_ftp(ftp ? std::move(ftp) : std::make_unique<CurlFtpClient>()),
      m_progress(this),
      m_worker(m_progress) {
    SetOwnerWindow(*this, owner);
    m_ui->setupUi(this);
    connect(m_ui->browseButton, &QPushButton::clicked, this, &CDownloadConfigDlg::OnBrowse);
    connect(m_ui->okButton, &QPushButton::clicked, this, &CDownloadConfigDlg::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &CDownloadConfigDlg::reject);
    InstallTerminalInfoPopup(m_doc, m_macByItem, m_ui->targetList);
}

CDownloadConfigDlg::~CDownloadConfigDlg() = default;

void CDownloadConfigDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_initialised) {
        m_initialised = true;
        OnInitDialog();
    }
}

void CDownloadConfigDlg::OnInitDialog() {
    DownloadDialogFields fields = ReadDownloadDialogFields(m_doc);
    for (const std::string& name : fields.terminalNames) {
        m_ui->targetList->addItem(QString::fromStdString(name));
    }
    m_ui->okButton->setEnabled(!fields.terminalNames.empty());
    m_ui->pathEdit->setText(QString::fromStdString(fields.path));
    m_ui->rebootCheck->setChecked(fields.reboot);

    m_exclusions = std::move(fields.exclusions);
    for (const std::string& name : m_exclusions.names) {
        m_ui->exclusionList->addItem(QString::fromStdString(name));
    }
    for (std::size_t row : fields.selectedExclusions) {
        m_ui->exclusionList->item(static_cast<int>(row))->setSelected(true);
    }
    if (!m_exclusions.complete) {
        m_doc.Messages().ShowMessage(LoadResString(kOutOfBufferMemory), MessageIcon::Warning);
    }
}

void CDownloadConfigDlg::OnBrowse() {
    QString folder = m_folderPicker.PickFolder(this, m_ui->pathEdit->text());
    if (!folder.isEmpty()) {
        // Only the path: an unsaved change of the reboot box stays as it is.
        m_ui->pathEdit->setText(folder);
    }
}

DownloadChoices CDownloadConfigDlg::TakeChoices() const {
    DownloadChoices choices{m_ui->pathEdit->text().toStdString(),
                            m_ui->rebootCheck->isChecked(),
                            {},
                            {m_exclusions, SelectedRows(*m_ui->exclusionList)}};
    for (std::size_t row : SelectedRows(*m_ui->targetList)) {
        choices.targets.push_back(
            {row, m_ui->targetList->item(static_cast<int>(row))->text().toStdString()});
    }
    return choices;
}

void CDownloadConfigDlg::accept() {
    if (m_worker.IsRunning()) {
        return;
    }
    m_choices.emplace(TakeChoices());
    m_worker.Start(
        [this](std::stop_token stop, IProgressNotice& progress) {
            WorkerDocument worker(m_doc, stop);
            m_runEnd = RunConfigurationDownload(worker.Doc(), m_macByItem, *m_choices, *m_ftp, stop,
                                                progress)
                           .end;
        },
        [this] {
            if (m_runEnd != DownloadRunEnd::Refused) {
                QDialog::accept();
            }
        });
}
