#pragma once

#include <QDialog>
#include <memory>

#include "core/staging/FtpClient.h"

class CProgressNoticeDlg;
class CTarnDoc;
class DialogWorker;
class IFolderPicker;
class MacByItemTable;

namespace Ui {
class CDownloadFirmwareDlg;
}

// Download / Upgrade Firmware: copies a firmware directory to the staging
// server and asks the selected terminals to fetch its image. The run goes on a
// worker with the dialog's progress notice; a failed check leaves the dialog
// open with its input, a run that got as far as the copy closes it.
class CDownloadFirmwareDlg : public QDialog {
    Q_OBJECT
public:
    CDownloadFirmwareDlg(CTarnDoc& doc, const MacByItemTable& macByItem,
                         IFolderPicker& folderPicker, QWidget* owner = nullptr);
    ~CDownloadFirmwareDlg() override;

    Ui::CDownloadFirmwareDlg& Controls() const { return *m_ui; }
    CProgressNoticeDlg& Notice() const { return *m_progressNotice; }
    bool IsRunning() const;

public slots:
    void accept() override;
    void reject() override;

private:
    void OnInitDialog();
    void OnBrowse();

    CTarnDoc& m_doc;
    const MacByItemTable& m_macByItem;
    IFolderPicker& m_folderPicker;
    std::unique_ptr<Ui::CDownloadFirmwareDlg> m_ui;
    std::unique_ptr<CProgressNoticeDlg> m_progressNotice;
    CurlFtpClient m_ftpClient;
    // Last: its destructor stops and waits for a run still going.
    std::unique_ptr<DialogWorker> m_worker;
};
