#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class CAboutDlg;
}

// The About box: product name and the version text of the build and the template.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

    QString VersionText() const;

private:
    std::unique_ptr<Ui::CAboutDlg> m_ui;
};
