#pragma once

#include <QDialog>
#include <memory>

#include "gui/common/DialogWorker.h"
#include "gui/transfer/CProgressNoticeDlg.h"

class CTarnDoc;
class MacByItemTable;
struct TerminalInfoTexts;

namespace Ui {
class CTerminalInfoDlg;
}

// Configure Terminal Information: reads a terminal's name, location, contact
// and three custom fields, and writes them back, refusing a name that another
// terminal uses. The list shows the database's terminals; its rows map to
// records through the main list's row table.
class CTerminalInfoDlg : public QDialog {
    Q_OBJECT
public:
    // `mainListRow`: the row selected in the main list, or -1.
    CTerminalInfoDlg(CTarnDoc& doc, const MacByItemTable& macByItem, int mainListRow,
                     QWidget* owner = nullptr);
    ~CTerminalInfoDlg() override;

    Ui::CTerminalInfoDlg& Controls() const { return *m_ui; }

signals:
    // A run wrote to a terminal: the main list is to be rebuilt from the
    // database now, before this dialog's list is, since its rows map through it.
    void terminalsChanged();
    // The work of Get Target or Set Target has ended.
    void workFinished();

private:
    void OnGetTarget();
    void OnSetTarget();
    void OnClearFields();
    void FillTargetList();
    int SelectedRow() const;
    void SelectRow(int row);
    TerminalInfoTexts TakeTexts() const;
    void ShowTexts(const TerminalInfoTexts& texts);
    // The message for a selected row that maps to no record.
    void ShowNotInList();

    CTarnDoc& m_doc;
    const MacByItemTable& m_macByItem;
    std::unique_ptr<Ui::CTerminalInfoDlg> m_ui;
    CProgressNoticeDlg m_notice;
    DialogWorker m_worker;  // after the notice, which it uses until it ends
};
