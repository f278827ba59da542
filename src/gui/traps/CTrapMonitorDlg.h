#pragma once

#include <QAbstractListModel>
#include <QDialog>
#include <QSize>
#include <QString>
#include <memory>
#include <mutex>
#include <vector>

#include "core/traps/TrapListener.h"

class CTarnView;
class QCloseEvent;

namespace Ui {
class CTrapMonitorDlg;
}

// The trap log's lines, appended in batches; every row has the same size, so
// the list stays quick with hundreds of thousands of them.
class TrapLogModel final : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    void Append(std::vector<QString>& lines);
    void Clear();
    void SetItemSize(QSize size) { m_itemSize = size; }

private:
    std::vector<QString> m_lines;
    QSize m_itemSize;
};

// The Trap Monitor: a modeless window, open for the whole run, that shows every
// trap the listener receives. Creating it starts the listener; destroying it
// stops the listener and waits for it. It cannot be closed: a close request
// writes a notice into the log.
class CTrapMonitorDlg final : public QDialog, public ITrapLog {
    Q_OBJECT
public:
    // The view owns the window and hears of terminals that traps registered.
    explicit CTrapMonitorDlg(CTarnView* ownerView);
    ~CTrapMonitorDlg() override;

    // Appends a line; from any thread. Lines from other threads reach the list
    // in batches on the GUI thread, in the order written.
    void AddLine(const std::string& text) override;
    // Empties the log and writes "Listening For Traps...".
    void ClearDisplay();
    // The log's context command: its lines as shown, into a file the user picks.
    void SaveLogAs();

    // The index the next line gets.
    int LineCounter() const { return m_lineCounter; }
    QString Line(int index) const;
    Ui::CTrapMonitorDlg& Controls() const { return *m_ui; }
    TrapListener& Listener() const { return *m_listener; }
    // Stops the listener and waits for it (a stopped monitor stays readable).
    void StopListener() { m_listener->Stop(); }
    // When the log holds this many lines, it starts over as Clear Display does.
    static constexpr int kMaxLines = 200000;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void FlushPendingLines();
    void AppendLines(std::vector<QString>& lines);
    void WriteCloseNotice();
    void PlaceWindow(CTarnView* ownerView);

    CTarnView* m_ownerView;
    std::unique_ptr<Ui::CTrapMonitorDlg> m_ui;
    TrapLogModel* m_model = nullptr;
    int m_lineCounter = 0;
    int m_extent = 500;
    int m_rowHeight = 0;
    bool m_scrollPosted = false;

    std::mutex m_pendingMutex;
    std::vector<QString> m_pending;
    bool m_flushPosted = false;

    std::unique_ptr<TrapListener> m_listener;
};
