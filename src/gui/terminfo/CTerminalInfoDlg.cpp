#include "gui/terminfo/CTerminalInfoDlg.h"

#include "core/app/CTarnDoc.h"
#include "core/app/WorkerDocument.h"
#include "core/common/StringTable.h"
#include "core/terminfo/TerminalInfoEditing.h"
#include "gui/common/OwnerWindow.h"
#include "gui/common/TerminalInfoPopup.h"
#include "ui_CTerminalInfoDlg.h"

namespace {
constexpr int kTerminalMustBeSelected = 143;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
std::string S(const QLineEdit* edit) {
    return edit->text().toStdString();
}
}  // namespace

CTerminalInfoDlg::CTerminalInfoDlg(CTarnDoc& doc, const MacByItemTable& macByItem, int mainListRow,
                                   QWidget* owner)
    : m_doc(doc),
      m_macByItem(macByItem),
      m_ui(std::make_unique<Ui::CTerminalInfoDlg>()),
      m_notice(this),
      m_worker(m_notice) {
    SetOwnerWindow(*this, owner);
    m_ui->setupUi(this);
    connect(m_ui->getTargetButton, &QPushButton::clicked, this, &CTerminalInfoDlg::OnGetTarget);
    connect(m_ui->setTargetButton, &QPushButton::clicked, this, &CTerminalInfoDlg::OnSetTarget);
    connect(m_ui->clearFieldsButton, &QPushButton::clicked, this, &CTerminalInfoDlg::OnClearFields);
    connect(m_ui->exitButton, &QPushButton::clicked, this, &CTerminalInfoDlg::reject);
    connect(&m_worker, &DialogWorker::finished, this, &CTerminalInfoDlg::workFinished);
    InstallTerminalInfoPopup(m_doc, m_macByItem, m_ui->targetList);
    FillTargetList();
    SelectRow(mainListRow);
}

CTerminalInfoDlg::~CTerminalInfoDlg() = default;

void CTerminalInfoDlg::FillTargetList() {
    m_ui->targetList->clear();
    for (const auto& entry : m_doc.State().Terminals().Entries()) {
        m_ui->targetList->addItem(Q(entry.record.m_name));
    }
    bool any = m_ui->targetList->count() > 0;
    m_ui->getTargetButton->setEnabled(any);
    m_ui->setTargetButton->setEnabled(any);
}

int CTerminalInfoDlg::SelectedRow() const {
    QList<QListWidgetItem*> selected = m_ui->targetList->selectedItems();
    return selected.isEmpty() ? -1 : m_ui->targetList->row(selected.first());
}

void CTerminalInfoDlg::SelectRow(int row) {
    if (row >= 0 && row < m_ui->targetList->count()) {
        m_ui->targetList->setCurrentRow(row);
    } else {
        m_ui->targetList->clearSelection();
    }
}

TerminalInfoTexts CTerminalInfoDlg::TakeTexts() const {
    return {S(m_ui->nameEdit),   S(m_ui->locationEdit), S(m_ui->contactEdit),
            S(m_ui->field1Edit), S(m_ui->field2Edit),   S(m_ui->field3Edit)};
}

void CTerminalInfoDlg::ShowTexts(const TerminalInfoTexts& texts) {
    m_ui->nameEdit->setText(Q(texts.name));
    m_ui->locationEdit->setText(Q(texts.location));
    m_ui->contactEdit->setText(Q(texts.contact));
    m_ui->field1Edit->setText(Q(texts.customField1));
    m_ui->field2Edit->setText(Q(texts.customField2));
    m_ui->field3Edit->setText(Q(texts.customField3));
}

void CTerminalInfoDlg::OnClearFields() {
    ShowTexts(TerminalInfoTexts{});
}

void CTerminalInfoDlg::ShowNotInList() {
    m_doc.Messages().ShowMessage(LoadResString(ids::kTerminalNotInList), MessageIcon::Warning);
}

void CTerminalInfoDlg::OnGetTarget() {
    int row = SelectedRow();
    if (row < 0) {
        m_doc.Messages().ShowMessage(LoadResString(kTerminalMustBeSelected), MessageIcon::Warning);
        return;
    }
    auto target =
        ResolveListRow(m_doc, m_macByItem, row, m_ui->targetList->item(row)->text().toStdString());
    if (!target) {
        ShowNotInList();
        return;
    }
    auto reading = std::make_shared<TerminalInfoReading>();
    m_worker.Start(
        [this, ip = target->record.m_ip, reading](std::stop_token stop, IProgressNotice&) {
            WorkerDocument worker(m_doc, stop);
            *reading = GetTargetInfo(worker.Doc(), ip);
        },
        [this, reading] { ShowTexts(reading->texts); });
}

void CTerminalInfoDlg::OnSetTarget() {
    TerminalInfoTexts texts = TakeTexts();
    BlankFields blanks =
        m_ui->blankSendRadio->isChecked() ? BlankFields::Send : BlankFields::Ignore;
    int row = SelectedRow();
    if (row < 0) {
        m_doc.Messages().ShowMessage(LoadResString(kTerminalMustBeSelected), MessageIcon::Warning);
        return;
    }
    // Resolved before anything is sent: a row the main list did not show at
    // its last refresh has no record to compare names with or to update.
    auto target =
        ResolveListRow(m_doc, m_macByItem, row, m_ui->targetList->item(row)->text().toStdString());
    if (!target) {
        ShowNotInList();
        SelectRow(row);
        return;
    }
    auto result = std::make_shared<SetTargetResult>();
    m_worker.Start(
        [this, target = *target, texts, blanks, result](std::stop_token stop,
                                                        IProgressNotice& notice) {
            WorkerDocument worker(m_doc, stop);
            *result = SetTargetInfo(worker.Doc(), target, texts, blanks, stop, notice);
        },
        [this, result, row] {
            if (result->outcome == SetTargetResult::Outcome::Stopped) {
                return;
            }
            // Also after a run that failed half way: a name already written
            // would otherwise leave rows that match no record.
            if (result->written || result->outcome == SetTargetResult::Outcome::Complete) {
                emit terminalsChanged();
                FillTargetList();
            }
            SelectRow(row);
            m_doc.Messages().ShowMessage(result->message, result->icon);
        });
}
