#pragma once

#include <QDialog>
#include <memory>

class CTarnDoc;

namespace Ui {
class CSecurityInfoDlg;
}

// The notice shown before an upload: configurations may hold secrets. OK
// saves whether it should come again; Escape closes it without saving.
class CSecurityInfoDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSecurityInfoDlg(CTarnDoc& doc, QWidget* owner = nullptr);
    ~CSecurityInfoDlg() override;

    Ui::CSecurityInfoDlg& Controls() const { return *m_ui; }

    // Runs the notice modally when the settings ask for it.
    static void ShowIfWanted(CTarnDoc& doc, QWidget* owner);

public slots:
    void accept() override;

private:
    CTarnDoc& m_doc;
    std::unique_ptr<Ui::CSecurityInfoDlg> m_ui;
};
