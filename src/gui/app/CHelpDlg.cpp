#include "gui/app/CHelpDlg.h"

#include <QFile>

#include "core/settings/SettingsPath.h"
#include "ui_CHelpDlg.h"

namespace {
const char* const kGuideName = "user-guide.md";
}

std::vector<std::string> CHelpDlg::GuideLocations() {
    return {ExecutableDirectory() + "/" + kGuideName, InstalledDataFile(kGuideName)};
}

CHelpDlg* CHelpDlg::Open(QWidget* parent) {
    for (const std::string& path : GuideLocations()) {
        QFile file(QString::fromStdString(path));
        if (file.open(QIODevice::ReadOnly)) {
            return new CHelpDlg(QString::fromUtf8(file.readAll()), parent);
        }
    }
    return nullptr;
}

CHelpDlg::CHelpDlg(const QString& markdown, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CHelpDlg>()) {
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    m_ui->guideText->setMarkdown(markdown);
}

CHelpDlg::~CHelpDlg() = default;

QString CHelpDlg::GuideText() const {
    return m_ui->guideText->toPlainText();
}
