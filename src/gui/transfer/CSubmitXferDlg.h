#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "gui/common/DialogWorker.h"
#include "gui/transfer/CProgressNoticeDlg.h"

class CTarnDoc;

namespace Ui {
class CSubmitXferDlg;
}

// Submit Upload or Download: a transfer request typed by hand, sent to one
// terminal. It stays open after each submission, with its fields, so the same
// request can be sent again or varied.
class CSubmitXferDlg : public QDialog {
    Q_OBJECT
public:
    // `target`: the address of the terminal last selected in the main list. The
    // request goes to this address, the one the dialog shows, whatever the
    // main list selects meanwhile.
    CSubmitXferDlg(CTarnDoc& doc, std::string target, QWidget* owner = nullptr);
    ~CSubmitXferDlg() override;

    Ui::CSubmitXferDlg& Controls() const { return *m_ui; }
    bool IsSubmitting() const { return m_worker.IsRunning(); }
    // "NoneNoneNone" or what the last submission showed.
    const std::string& LastResult() const { return m_lastResult; }

public slots:
    void reject() override;

signals:
    // A submission has ended, after its message if any.
    void submitEnded();

private:
    void OnSubmit();

    CTarnDoc& m_doc;
    const std::string m_target;
    std::unique_ptr<Ui::CSubmitXferDlg> m_ui;
    CProgressNoticeDlg m_notice;
    DialogWorker m_worker;
    std::string m_lastResult;
};
