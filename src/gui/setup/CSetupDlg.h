#pragma once

#include <QDialog>
#include <memory>

#include "core/setup/SetupSettings.h"

class CTarnDoc;
class QLineEdit;

namespace Ui {
class CSetupDlg;
}

// Setup: the SNMP communities, the discovery subnets, method and range, and the
// FTP staging server. Its fields are read when it first shows; OK checks and
// writes them, Cancel writes nothing.
class CSetupDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSetupDlg(CTarnDoc& doc, QWidget* owner = nullptr);
    ~CSetupDlg() override;

    Ui::CSetupDlg& Controls() const { return *m_ui; }

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();
    void OnMethodClicked();
    // The fields as the controls hold them.
    SetupValues TakeValues() const;
    void ShowValues(const SetupValues& values);
    // Puts the focus on the range edit a failed check names.
    void FocusFailedRange(SetupCheck check);

    CTarnDoc& m_doc;
    std::unique_ptr<Ui::CSetupDlg> m_ui;
    bool m_initialised = false;
};
