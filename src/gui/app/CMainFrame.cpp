#include "gui/app/CMainFrame.h"

#include <QCloseEvent>
#include <QMenu>
#include <QStatusBar>

#include "core/common/StringTable.h"
#include "gui/app/CTarnView.h"
#include "gui/common/LockKeyState.h"
#include "ui_CMainFrame.h"

namespace {
const char* const kIndicatorTexts[3] = {"CAP", "NUM", "SCRL"};
}

CMainFrame::CMainFrame(CTarnDoc& doc, QWidget* parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::CMainFrame>()) {
    m_ui->setupUi(this);
    setWindowTitle(QString::fromStdString(LoadResString(ids::kAppTitle)));
    setWindowIcon(QIcon(":/fleetwarden.png"));
    CreateStatusBarPanes();
    ApplyPrompts();

    for (QMenu* menu : findChildren<QMenu*>()) {
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::updateCommandUi);
    }
    // The commands without a menu entry still exist as actions of the window.
    addAction(m_ui->actionTrapMonitor);
    addAction(m_ui->actionSubmitTransfer);
    connect(m_ui->actionExit, &QAction::triggered, this, &QWidget::close);
    connect(m_ui->actionStatusBar, &QAction::toggled, statusBar(), &QWidget::setVisible);

    m_view = new CTarnView(doc, this);
    setCentralWidget(m_view);
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::closeEvent(QCloseEvent* event) {
    // A refresh in progress ends at the next terminal; the window then closes.
    if (m_view && !m_view->QueryClose()) {
        event->ignore();
        return;
    }
    if (m_view) {
        m_view->HideMonitorWindows();
    }
    QMainWindow::closeEvent(event);
}

void CMainFrame::CreateStatusBarPanes() {
    m_messagePane = new QLabel(QString::fromStdString(LoadResString(ids::kReady)), this);
    m_messagePane->setObjectName("messagePane");
    statusBar()->addWidget(m_messagePane, 1);
    for (int i = 0; i < 3; ++i) {
        auto* pane = new QLabel(this);
        pane->setObjectName(QString("indicator%1").arg(kIndicatorTexts[i]));
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        pane->setAlignment(Qt::AlignCenter);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance("SCRL") + 12);
        statusBar()->addPermanentWidget(pane);
        m_indicators[i] = pane;
    }
    RefreshLockIndicators();
    connect(&m_indicatorTimer, &QTimer::timeout, this, &CMainFrame::RefreshLockIndicators);
    m_indicatorTimer.start(250);
}

void CMainFrame::ApplyPrompts() {
    for (QAction* action : findChildren<QAction*>()) {
        QVariant id = action->property("commandId");
        if (!id.isValid()) {
            continue;
        }
        QString prompt = QString::fromStdString(LoadResString(id.toInt()));
        QStringList parts = prompt.split('\n');
        action->setStatusTip(parts.value(0));
        if (parts.size() > 1) {
            action->setToolTip(parts.value(1));
        }
    }
}

void CMainFrame::RefreshLockIndicators() {
    LockKeyState state = QueryLockKeyState();
    const bool on[3] = {state.capsLock, state.numLock, state.scrollLock};
    for (int i = 0; i < 3; ++i) {
        m_indicators[i]->setText(on[i] ? kIndicatorTexts[i] : "");
    }
}

QAction* CMainFrame::CommandAction(int commandId) const {
    for (QAction* action : findChildren<QAction*>()) {
        if (action->property("commandId").toInt() == commandId) {
            return action;
        }
    }
    return nullptr;
}

void CMainFrame::SetMessageText(const QString& text) {
    m_messagePane->setText(text);
}

QString CMainFrame::MessageText() const {
    return m_messagePane->text();
}

QLabel* CMainFrame::IndicatorPane(int index) const {
    return index >= 0 && index < 3 ? m_indicators[index] : nullptr;
}
