#include "gui/setup/CSetupDlg.h"

#include <QRegularExpressionValidator>

#include "core/app/CTarnDoc.h"
#include "core/settings/LocalHost.h"
#include "gui/common/OwnerWindow.h"
#include "ui_CSetupDlg.h"

namespace {
QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
std::string S(const QLineEdit* edit) {
    return edit->text().toStdString();
}
}  // namespace

CSetupDlg::CSetupDlg(CTarnDoc& doc, QWidget* owner)
    : m_doc(doc), m_ui(std::make_unique<Ui::CSetupDlg>()) {
    SetOwnerWindow(*this, owner);
    m_ui->setupUi(this);
    auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this);
    m_ui->rangeLowEdit->setValidator(digits);
    m_ui->rangeHighEdit->setValidator(digits);
    connect(m_ui->methodSnmpRadio, &QRadioButton::clicked, this, &CSetupDlg::OnMethodClicked);
    connect(m_ui->methodBroadcastRadio, &QRadioButton::clicked, this, &CSetupDlg::OnMethodClicked);
    connect(m_ui->okButton, &QPushButton::clicked, this, &CSetupDlg::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &CSetupDlg::reject);
}

CSetupDlg::~CSetupDlg() = default;

void CSetupDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_initialised) {
        m_initialised = true;
        OnInitDialog();
    }
}

void CSetupDlg::OnInitDialog() {
    SetupValues values = ReadSetupValues(m_doc);
    ShowValues(values);
    if (values.discoverIPSubNet.empty()) {
        m_ui->subnetEdit->setText(Q(ProposedSubnet(GetLocalHostIP(m_doc))));
    }
}

void CSetupDlg::ShowValues(const SetupValues& values) {
    m_ui->getCommunityEdit->setText(Q(values.getCommunity));
    m_ui->setCommunityEdit->setText(Q(values.setCommunity));
    m_ui->subnetEdit->setText(Q(values.discoverIPSubNet));
    m_ui->methodSnmpRadio->setChecked(!values.broadcast);
    m_ui->methodBroadcastRadio->setChecked(values.broadcast);
    m_ui->rangeLowEdit->setText(Q(values.rangeLow));
    m_ui->rangeHighEdit->setText(Q(values.rangeHigh));
    m_ui->rangeLowEdit->setEnabled(!values.broadcast);
    m_ui->rangeHighEdit->setEnabled(!values.broadcast);
    m_ui->ftpServerNameEdit->setText(Q(values.ftpServerName));
    m_ui->ftpServerPathEdit->setText(Q(values.ftpServerPath));
    m_ui->ftpLoginEdit->setText(Q(values.ftpLogin));
    m_ui->ftpPasswordEdit->setText(Q(values.ftpPassword));
}

SetupValues CSetupDlg::TakeValues() const {
    SetupValues values;
    values.getCommunity = S(m_ui->getCommunityEdit);
    values.setCommunity = S(m_ui->setCommunityEdit);
    values.discoverIPSubNet = S(m_ui->subnetEdit);
    values.broadcast = m_ui->methodBroadcastRadio->isChecked();
    values.rangeLow = S(m_ui->rangeLowEdit);
    values.rangeHigh = S(m_ui->rangeHighEdit);
    values.ftpServerName = S(m_ui->ftpServerNameEdit);
    values.ftpServerPath = S(m_ui->ftpServerPathEdit);
    values.ftpLogin = S(m_ui->ftpLoginEdit);
    values.ftpPassword = S(m_ui->ftpPasswordEdit);
    return values;
}

void CSetupDlg::FocusFailedRange(SetupCheck check) {
    QLineEdit* edit = check == SetupCheck::RangeLow    ? m_ui->rangeLowEdit
                      : check == SetupCheck::RangeHigh ? m_ui->rangeHighEdit
                                                       : nullptr;
    if (edit) {
        edit->setFocus();
        edit->selectAll();
    }
}

void CSetupDlg::OnMethodClicked() {
    SetupValues values = TakeValues();
    if (SetupCheck failed = CheckSetupRanges(m_doc, values); failed != SetupCheck::None) {
        FocusFailedRange(failed);
        return;
    }
    // The disabled edits keep their values; OK still checks and saves them.
    m_ui->rangeLowEdit->setEnabled(!values.broadcast);
    m_ui->rangeHighEdit->setEnabled(!values.broadcast);
}

void CSetupDlg::accept() {
    SetupCheck failed = SaveSetup(m_doc, TakeValues());
    if (failed != SetupCheck::None) {
        FocusFailedRange(failed);
        return;
    }
    QDialog::accept();
}
