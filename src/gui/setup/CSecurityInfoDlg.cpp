#include "gui/setup/CSecurityInfoDlg.h"

#include "core/setup/SecurityNotice.h"
#include "gui/common/OwnerWindow.h"
#include "ui_CSecurityInfoDlg.h"

CSecurityInfoDlg::CSecurityInfoDlg(CTarnDoc& doc, QWidget* owner)
    : m_doc(doc), m_ui(std::make_unique<Ui::CSecurityInfoDlg>()) {
    SetOwnerWindow(*this, owner);
    m_ui->setupUi(this);
    // A caption but no window menu or close box: OK or Escape end it.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    connect(m_ui->okButton, &QPushButton::clicked, this, &CSecurityInfoDlg::accept);
}

CSecurityInfoDlg::~CSecurityInfoDlg() = default;

void CSecurityInfoDlg::accept() {
    SaveSecurityNoticeChoice(m_doc, m_ui->dontShowAgainCheck->isChecked());
    QDialog::accept();
}

void CSecurityInfoDlg::ShowIfWanted(CTarnDoc& doc, QWidget* owner) {
    if (SecurityNoticeWanted(doc)) {
        CSecurityInfoDlg(doc, owner).exec();
    }
}
