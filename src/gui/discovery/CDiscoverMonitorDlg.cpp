#include "gui/discovery/CDiscoverMonitorDlg.h"

#include <QAction>
#include <QCloseEvent>
#include <QDialog>
#include <QFontMetrics>
#include <QProgressBar>
#include <algorithm>

#include "core/app/CTarnDoc.h"
#include "gui/app/CTarnView.h"
#include "gui/common/FileSavePicker.h"
#include "gui/common/OwnerWindow.h"
#include "ui_CDiscoverMonitorDlg.h"

namespace {

// The window's close box and Escape key reach the monitor as its cancel
// command; neither closes the window itself.
class MonitorWindow final : public QDialog {
public:
    MonitorWindow(QWidget* owner, CDiscoverMonitorDlg& monitor)
        : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
          m_monitor(monitor) {
        SetOwnerWindow(*this, owner);
    }
    void reject() override { m_monitor.OnCancel(); }

protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        m_monitor.OnCancel();
    }

private:
    CDiscoverMonitorDlg& m_monitor;
};

// Dialog units of the window's font: a quarter of the average character
// width across, an eighth of the line height down.
QRect DialogUnits(const QWidget& window, int x, int y, int width, int height) {
    QFontMetrics metrics(window.font());
    int across = metrics.averageCharWidth();
    int down = metrics.height();
    return {x * across / 4, y * down / 8, width * across / 4, height * down / 8};
}

}  // namespace

CDiscoverMonitorDlg::CDiscoverMonitorDlg(CTarnView* ownerView) : m_ownerView(ownerView) {}

CDiscoverMonitorDlg::~CDiscoverMonitorDlg() {
    DestroyWindow();
}

unsigned CDiscoverMonitorDlg::DestroyWindow() {
    // A run still going (the console closing) sees the window gone: it passes
    // over the addresses left without probing them and ends normally. Its
    // thread uses this object, so it must end before the window and the
    // object do.
    m_progressHasWindow = false;
    // Its requests in flight end at once rather than waiting out a time-out.
    m_worker.RequestStop();
    unsigned exitCode = m_worker.Join();
    m_window.reset();
    return exitCode;
}

void CDiscoverMonitorDlg::Create() {
    if (m_window) {
        return;
    }
    CTarnDoc& doc = m_ownerView->GetDocument();
    DiscoverRange range = ReadDiscoverRange(doc);

    m_window = std::make_unique<MonitorWindow>(m_ownerView, *this);
    m_ui = std::make_unique<Ui::CDiscoverMonitorDlg>();
    m_ui->setupUi(m_window.get());
    QRect placed = DialogUnits(*m_window, 110, 110, 284, 201);
    QPoint origin = m_ownerView->window()->geometry().topLeft();
    m_window->setGeometry(QRect(origin + placed.topLeft(), placed.size()));

    // The smooth bar that is driven sits over the placeholder's rectangle.
    m_progress = new QProgressBar(m_ui->progressPlaceholder);
    m_progress->setObjectName("progressBar");
    m_progress->setProperty("controlId", 101);
    m_progress->setTextVisible(false);
    m_progress->setRange(0, range.Span());
    m_progress->setValue(0);
    m_ui->progressArea->addWidget(m_progress);
    // The list's horizontal scroll range follows its widest line by itself.

    connect(m_ui->saveLogAsAction, &QAction::triggered, this, &CDiscoverMonitorDlg::SaveLogAs);

    m_lineCount = 0;
    m_progressHasWindow = true;
    m_window->show();
    m_worker.Start(doc, *this);
}

void CDiscoverMonitorDlg::OnCancel() {
    m_worker.RequestStop();
}

void CDiscoverMonitorDlg::SaveLogAs() {
    if (!m_window) {
        return;
    }
    std::string text;
    for (int i = 0; i < m_ui->logList->count(); ++i) {
        text += m_ui->logList->item(i)->text().toStdString() + "\n";
    }
    CTarnView* view = m_ownerView;
    QMetaObject::invokeMethod(
        view,
        [view, text] {
            SaveTextAs(view->FileSavePicker(), view->GetDocument().Messages(), view,
                       QObject::tr("Save Log As"), "discover-monitor.log", text);
        },
        Qt::QueuedConnection);
}

void CDiscoverMonitorDlg::AddLine(const std::string& line) {
    QString text = QString::fromStdString(line);
    QMetaObject::invokeMethod(
        this, [this, text] { AppendLine(text); }, Qt::QueuedConnection);
}

void CDiscoverMonitorDlg::AppendLine(const QString& line) {
    if (!m_window) {
        return;
    }
    QListWidget* log = m_ui->logList;
    log->addItem(line);
    // Selecting the new line scrolls it into view; the selection goes again.
    log->setCurrentRow(m_lineCount);
    log->scrollToItem(log->item(m_lineCount));
    log->clearSelection();
    ++m_lineCount;
}

void CDiscoverMonitorDlg::SetProgressPos(int position) {
    QMetaObject::invokeMethod(
        this,
        [this, position] {
            if (m_progress) {
                m_progress->setValue(
                    std::clamp(position, m_progress->minimum(), m_progress->maximum()));
            }
        },
        Qt::QueuedConnection);
}

IViewNotifications& CDiscoverMonitorDlg::OwnerView() {
    return m_ownerView->Notifications();
}
