#pragma once

#include <QDialog>
#include <memory>

class CTarnDoc;

namespace Ui {
class CAboutDlg;
}

// The About box: product name and the version text of the build and the template.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    // The version line shows the template version of `doc`'s settings.
    explicit CAboutDlg(CTarnDoc& doc, QWidget* owner = nullptr);
    ~CAboutDlg() override;

    QString VersionText() const;

private:
    std::unique_ptr<Ui::CAboutDlg> m_ui;
};
