#include "gui/traps/CTrapMonitorDlg.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QThread>

#include "core/app/CTarnDoc.h"
#include "core/common/StringTable.h"
#include "core/terminals/TerminalDatabase.h"
#include "gui/app/CTarnView.h"
#include "gui/common/FileSavePicker.h"
#include "ui_CTrapMonitorDlg.h"

namespace {
// Placement and size of the window in dialog units.
constexpr int kLeftDlu = 100, kTopDlu = 100, kWidthDlu = 284, kHeightDlu = 201;
constexpr int kInitialExtent = 500;
}  // namespace

int TrapLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_lines.size());
}

QVariant TrapLogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(m_lines.size())) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return m_lines[static_cast<std::size_t>(index.row())];
    }
    if (role == Qt::SizeHintRole && m_itemSize.isValid()) {
        return m_itemSize;
    }
    return {};
}

void TrapLogModel::Append(std::vector<QString>& lines) {
    if (lines.empty()) {
        return;
    }
    int first = static_cast<int>(m_lines.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(lines.size()) - 1);
    for (auto& line : lines) {
        m_lines.push_back(std::move(line));
    }
    endInsertRows();
    lines.clear();
}

void TrapLogModel::Clear() {
    beginResetModel();
    m_lines.clear();
    m_lines.shrink_to_fit();
    endResetModel();
}

CTrapMonitorDlg::CTrapMonitorDlg(CTarnView* ownerView)
    : QDialog(ownerView, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                             Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_ownerView(ownerView),
      m_ui(std::make_unique<Ui::CTrapMonitorDlg>()) {
    m_ui->setupUi(this);
    setModal(false);
    m_model = new TrapLogModel(this);
    QFontMetrics metrics(m_ui->trapLog->font());
    m_rowHeight = metrics.height() + 2;
    m_extent = kInitialExtent;
    m_model->SetItemSize(QSize(m_extent, m_rowHeight));
    m_ui->trapLog->setModel(m_model);
    connect(m_ui->clearDisplayButton, &QPushButton::clicked, this, &CTrapMonitorDlg::ClearDisplay);
    connect(m_ui->saveLogAsAction, &QAction::triggered, this, &CTrapMonitorDlg::SaveLogAs);
    PlaceWindow(ownerView);
    show();

    m_listener = std::make_unique<TrapListener>(ownerView->GetDocument(), *this,
                                                &ownerView->Notifications());
    m_listener->Start();
}

CTrapMonitorDlg::~CTrapMonitorDlg() {
    m_listener.reset();
}

void CTrapMonitorDlg::PlaceWindow(CTarnView* ownerView) {
    // Dialog units: a quarter of the average character width, an eighth of the height.
    QFontMetrics metrics(font());
    int baseX = metrics.averageCharWidth();
    int baseY = metrics.height();
    resize(kWidthDlu * baseX / 4, kHeightDlu * baseY / 8);
    if (ownerView) {
        move(ownerView->mapToGlobal(QPoint(kLeftDlu * baseX / 4, kTopDlu * baseY / 8)));
    }
}

void CTrapMonitorDlg::AddLine(const std::string& text) {
    bool post = false;
    {
        std::lock_guard lock(m_pendingMutex);
        m_pending.push_back(QString::fromStdString(text));
        post = !m_flushPosted;
        m_flushPosted = true;
    }
    if (QThread::currentThread() == thread()) {
        FlushPendingLines();
    } else if (post) {
        // One queued call takes every line written until it runs.
        QMetaObject::invokeMethod(this, &CTrapMonitorDlg::FlushPendingLines, Qt::QueuedConnection);
    }
}

void CTrapMonitorDlg::FlushPendingLines() {
    std::vector<QString> lines;
    {
        std::lock_guard lock(m_pendingMutex);
        lines.swap(m_pending);
        m_flushPosted = false;
    }
    AppendLines(lines);
}

void CTrapMonitorDlg::AppendLines(std::vector<QString>& lines) {
    if (lines.empty()) {
        return;
    }
    QFontMetrics metrics(m_ui->trapLog->font());
    std::vector<QString> batch;
    batch.reserve(lines.size());
    for (auto& line : lines) {
        if (m_lineCounter + static_cast<int>(batch.size()) >= kMaxLines) {
            // Out of room: start over, as Clear Display does, and keep the line.
            batch.clear();
            m_model->Clear();
            m_lineCounter = 0;
            batch.push_back("Listening For Traps...");
        }
        m_extent = std::max(m_extent, metrics.horizontalAdvance(line) + 8);
        batch.push_back(std::move(line));
    }
    m_model->SetItemSize(QSize(m_extent, m_rowHeight));
    m_lineCounter += static_cast<int>(batch.size());
    m_model->Append(batch);
    // Scrolling lays the whole list out; once per turn of the event loop is enough.
    if (!m_scrollPosted) {
        m_scrollPosted = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_scrollPosted = false;
                m_ui->trapLog->scrollToBottom();
            },
            Qt::QueuedConnection);
    }
}

void CTrapMonitorDlg::ClearDisplay() {
    {
        // Lines written before the clear are cleared with the rest.
        std::lock_guard lock(m_pendingMutex);
        m_pending.clear();
    }
    m_model->Clear();
    m_lineCounter = 0;
    AddLine("Listening For Traps...");
}

void CTrapMonitorDlg::SaveLogAs() {
    std::string text;
    for (int i = 0; i < m_lineCounter; ++i) {
        text += Line(i).toStdString() + "\n";
    }
    SaveTextAs(m_ownerView->FileSavePicker(), m_ownerView->GetDocument().Messages(), this,
               tr("Save Log As"), "trap-monitor.log", text);
}

QString CTrapMonitorDlg::Line(int index) const {
    return m_model->data(m_model->index(index), Qt::DisplayRole).toString();
}

void CTrapMonitorDlg::WriteCloseNotice() {
    AddLine(kTrapSeparatorLine);
    AddLine(TrapTimeStampLine());
    AddLine("");
    AddLine(LoadResString(ids::kTrapMonitorCloseIgnored));
}

void CTrapMonitorDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    WriteCloseNotice();
}

void CTrapMonitorDlg::reject() {
    // Escape: the window stays.
    WriteCloseNotice();
}
