#pragma once

#include <QDialog>
#include <memory>
#include <optional>

#include "core/download/ConfigurationDownload.h"
#include "core/staging/ExclusionList.h"
#include "core/staging/FtpClient.h"
#include "gui/common/DialogWorker.h"
#include "gui/transfer/CProgressNoticeDlg.h"

class CTarnDoc;
class IFolderPicker;
class MacByItemTable;

namespace Ui {
class CDownloadConfigDlg;
}

// Download Configuration: the terminals to receive a stored configuration, the
// directory it lies in, the exclusions to remove from it, and whether the
// terminals reboot afterwards. OK runs the download on a worker while the
// progress notice shows its steps; the dialog closes when the run ends,
// unless it refused the input.
class CDownloadConfigDlg : public QDialog {
    Q_OBJECT
public:
    // `macByItem` maps the target list's rows to terminals (the main list's
    // table); `ftp` puts the filtered file on the staging server (libcurl when
    // not given).
    CDownloadConfigDlg(CTarnDoc& doc, const MacByItemTable& macByItem, IFolderPicker& folderPicker,
                       QWidget* owner = nullptr, std::unique_ptr<IFtpClient> ftp = nullptr);
    ~CDownloadConfigDlg() override;

    Ui::CDownloadConfigDlg& Controls() const { return *m_ui; }
    CProgressNoticeDlg& ProgressNotice() { return m_progress; }
    // How many leading entries of the exclusion list came from the template.
    std::size_t TemplateCount() const { return m_exclusions.templateCount; }

public slots:
    // OnOK: the run.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();
    void OnBrowse();
    DownloadChoices TakeChoices() const;

    CTarnDoc& m_doc;
    const MacByItemTable& m_macByItem;
    IFolderPicker& m_folderPicker;
    std::unique_ptr<Ui::CDownloadConfigDlg> m_ui;
    std::unique_ptr<IFtpClient> m_ftp;
    ExclusionList m_exclusions;
    bool m_initialised = false;
    // What the running worker reads and what it tells the GUI thread.
    std::optional<DownloadChoices> m_choices;
    DownloadRunEnd m_runEnd = DownloadRunEnd::Refused;
    CProgressNoticeDlg m_progress;
    // Last, so that it stops and waits for its worker before the rest goes.
    DialogWorker m_worker;
};
