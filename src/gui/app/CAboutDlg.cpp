#include "gui/app/CAboutDlg.h"

#include <QIcon>

#include "core/app/AboutText.h"
#include "gui/common/OwnerWindow.h"
#include "ui_CAboutDlg.h"

CAboutDlg::CAboutDlg(CTarnDoc& doc, QWidget* owner) : m_ui(std::make_unique<Ui::CAboutDlg>()) {
    SetOwnerWindow(*this, owner);
    m_ui->setupUi(this);
    m_ui->icon->setPixmap(QIcon(":/fleetwarden.png").pixmap(48, 48));
    m_ui->versionText->setText(QString::fromStdString(AboutVersionText(doc)));
}

CAboutDlg::~CAboutDlg() = default;

QString CAboutDlg::VersionText() const {
    return m_ui->versionText->text();
}
