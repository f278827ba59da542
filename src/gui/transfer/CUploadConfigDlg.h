#pragma once

#include <QDialog>
#include <chrono>
#include <memory>

#include "core/transfer/ConfigurationUpload.h"
#include "gui/common/DialogWorker.h"
#include "gui/transfer/CProgressNoticeDlg.h"

class CTarnDoc;
class IFolderPicker;
class MacByItemTable;

namespace Ui {
class CUploadConfigDlg;
}

// Upload Configuration: brings one terminal's configuration file into a local
// directory through the staging server. OK runs the whole upload on a worker
// while the window stays painted and input is discarded; the dialog closes
// once the terminal has answered, and stays open with its inputs after a
// refusal or a time-out so the user can try again.
class CUploadConfigDlg : public QDialog {
    Q_OBJECT
public:
    // `macByItem` maps the list's rows to terminals as the main list does;
    // `mainRow` is the row selected there (-1 for none).
    CUploadConfigDlg(CTarnDoc& doc, const MacByItemTable& macByItem, int mainRow,
                     IFolderPicker& folderPicker, QWidget* owner = nullptr);
    ~CUploadConfigDlg() override;

    Ui::CUploadConfigDlg& Controls() const { return *m_ui; }
    bool IsUploading() const { return m_worker.IsRunning(); }
    // How the last run ended.
    UploadEnd LastEnd() const { return m_lastEnd; }
    // How long a run waits for the outcome trap (tests shorten it).
    void SetTrapTimeout(std::chrono::milliseconds timeout) { m_trapTimeout = timeout; }

public slots:
    void accept() override;
    void reject() override;

signals:
    // A run has ended, after its messages and before the dialog closes.
    void uploadEnded();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();
    void OnBrowse();
    void OnUploadEnded();

    CTarnDoc& m_doc;
    const MacByItemTable& m_macByItem;
    int m_mainRow;
    IFolderPicker& m_folderPicker;
    std::unique_ptr<Ui::CUploadConfigDlg> m_ui;
    CProgressNoticeDlg m_notice;
    DialogWorker m_worker;
    std::chrono::milliseconds m_trapTimeout = kUploadTrapTimeout;
    UploadEnd m_lastEnd = UploadEnd::Refused;
    bool m_initialised = false;
};
