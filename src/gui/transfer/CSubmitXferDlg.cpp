#include "gui/transfer/CSubmitXferDlg.h"

#include "core/app/CTarnDoc.h"
#include "core/app/WorkerDocument.h"
#include "core/transfer/ManualXferRequest.h"
#include "core/transfer/XferRequestWriter.h"
#include "gui/common/OwnerWindow.h"
#include "ui_CSubmitXferDlg.h"

CSubmitXferDlg::CSubmitXferDlg(CTarnDoc& doc, std::string target, QWidget* owner)
    : m_doc(doc),
      m_target(std::move(target)),
      m_ui(std::make_unique<Ui::CSubmitXferDlg>()),
      m_notice(this),
      m_worker(m_notice) {
    SetOwnerWindow(*this, owner);
    m_ui->setupUi(this);
    m_ui->targetEdit->setText(QString::fromStdString(m_target));
    m_ui->trapIdEdit->setText(QString::fromStdString(TrapReturnId(m_target)));
    m_ui->downloadRadio->setChecked(true);
    m_ui->binaryRadio->setChecked(true);
    // With no terminal selected yet there is nowhere to send to: an empty
    // address would reach this workstation's own agent instead.
    m_ui->submitButton->setEnabled(!m_target.empty());
    connect(m_ui->submitButton, &QPushButton::clicked, this, &CSubmitXferDlg::OnSubmit);
    connect(m_ui->exitButton, &QPushButton::clicked, this, &CSubmitXferDlg::accept);
}

CSubmitXferDlg::~CSubmitXferDlg() = default;

void CSubmitXferDlg::OnSubmit() {
    if (m_worker.IsRunning()) {
        return;
    }
    ManualXferFields fields;
    fields.trapId = m_ui->trapIdEdit->text().toStdString();
    fields.download = m_ui->downloadRadio->isChecked();
    fields.binary = m_ui->binaryRadio->isChecked();
    fields.source = m_ui->sourceEdit->text().toStdString();
    fields.dest = m_ui->destEdit->text().toStdString();
    fields.server = m_ui->serverEdit->text().toStdString();
    m_worker.Start(
        [this, fields](std::stop_token stop, IProgressNotice&) {
            WorkerDocument worker(m_doc, stop);
            m_lastResult = SubmitManualXferRequest(worker.Doc(), m_target, fields);
        },
        [this] { emit submitEnded(); });
}

void CSubmitXferDlg::reject() {
    // The request is being written: it ends first.
    if (m_worker.IsRunning()) {
        return;
    }
    QDialog::reject();
}
