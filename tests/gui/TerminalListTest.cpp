#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

#include "FakeTerminals.h"
#include "NetworkTestSupport.h"
#include "TestDocument.h"
#include "core/terminals/TerminalDatabase.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CTarnView.h"
#include "gui/common/InputBlocker.h"
#include "gui/common/TerminalInfoPopup.h"
#include "gui/transfer/CProgressNoticeDlg.h"
#include "ui_CProgressNoticeDlg.h"
#include "ui_CTarnView.h"

namespace {

struct Console {
    FakeSnmpManager snmp;
    TestDocument t{DefaultSettingsWith("TrapPort=" + std::to_string(FreeUdpPort()) + "\n"), &snmp};
    CMainFrame frame{t.Doc()};
    CTarnView& view = *frame.View();
    Ui::CTarnView& ui = view.Controls();

    Console() {
        frame.show();
        if (!QTest::qWaitForWindowExposed(&frame)) {
            qWarning("main window not exposed");
        }
        WaitForRefresh();
    }

    void Add(const FakeTerminal& terminal) {
        AddFakeTerminal(snmp, terminal);
        t.Doc().RegisterTerminal(terminal.ip);
    }
    bool Refresh() {
        QSignalSpy done(&view, &CTarnView::refreshFinished);
        view.RefreshAndValidateAll();
        return done.wait(10000);
    }
    void WaitForRefresh() {
        if (view.IsRefreshing()) {
            QSignalSpy done(&view, &CTarnView::refreshFinished);
            done.wait(10000);
        }
    }
    QStringList Names() const {
        QStringList names;
        for (int i = 0; i < ui.terminalList->topLevelItemCount(); ++i) {
            names << ui.terminalList->topLevelItem(i)->text(0);
        }
        return names;
    }
    QString Data(const QString& label) const {
        for (int i = 0; i < ui.dataList->topLevelItemCount(); ++i) {
            if (ui.dataList->topLevelItem(i)->text(0) == label) {
                return ui.dataList->topLevelItem(i)->text(1);
            }
        }
        return "<missing>";
    }
    int SelectedRow() const {
        auto selected = ui.terminalList->selectedItems();
        return selected.isEmpty() ? -1 : ui.terminalList->indexOfTopLevelItem(selected.first());
    }
};

}  // namespace

class TerminalListTest : public QObject {
    Q_OBJECT
private slots:
    void emptyRefreshLeavesButtonsDisabled();
    void listsTerminalsAndShowsTheSelectedOnesData();
    void selectionFallsBackToTheFirstRowWhenRowsVanish();
    void clearAllEmptiesEverything();
    void trapPromptOnlyWithTerminals();
    void inputIsDiscardedButModalBoxesStillWork();
    void popupHitTestOnAListBox();
    void progressNoticeShowsTheLatestLines();
};

void TerminalListTest::emptyRefreshLeavesButtonsDisabled() {
    Console c;
    QVERIFY(c.Refresh());
    QVERIFY(c.Names().isEmpty());
    QVERIFY(!c.ui.refreshButton->isEnabled());
    QVERIFY(!c.ui.clearAllButton->isEnabled());
    QCOMPARE(c.frame.MessageText(), QString("Ready"));
    QCOMPARE(c.view.Banner(), QString());
}

void TerminalListTest::listsTerminalsAndShowsTheSelectedOnesData() {
    Console c;
    c.Add({.ip = "127.0.0.21", .name = "SAME", .location = "North", .mac = "0080641200AA"});
    c.Add({.ip = "127.0.0.22", .name = "SAME", .location = "South", .mac = "0080641200BB"});
    // The list shows the database only as of the last refresh.
    QVERIFY(c.Names().isEmpty());
    QVERIFY(c.Refresh());
    QCOMPARE(c.Names(), QStringList({"SAME", "SAME"}));
    QCOMPARE(c.SelectedRow(), 0);
    QCOMPARE(c.ui.dataList->topLevelItemCount(), 11);
    QCOMPARE(c.ui.dataList->topLevelItem(0)->text(0), QString("Version"));
    QCOMPARE(c.ui.dataList->topLevelItem(10)->text(0), QString("Platform"));
    QCOMPARE(c.Data("Location"), QString("North"));
    QCOMPARE(c.Data("Build #"), QString("4711"));
    QCOMPARE(c.Data("MAC Address"), QString("0080641200AA"));
    QVERIFY(c.ui.refreshButton->isEnabled());
    QVERIFY(c.ui.clearAllButton->isEnabled());

    c.ui.terminalList->setCurrentItem(c.ui.terminalList->topLevelItem(1));
    QCOMPARE(c.Data("Location"), QString("South"));
    QCOMPARE(QString::fromStdString(c.view.SelectedIP()), QString("127.0.0.22"));
}

void TerminalListTest::selectionFallsBackToTheFirstRowWhenRowsVanish() {
    Console c;
    for (int i = 1; i <= 4; ++i) {
        char mac[13];
        std::snprintf(mac, sizeof(mac), "0080641200%02d", i);
        c.Add({.ip = "127.0.0.2" + std::to_string(i), .name = "T" + std::to_string(i), .mac = mac});
    }
    QVERIFY(c.Refresh());
    c.ui.terminalList->setCurrentItem(c.ui.terminalList->topLevelItem(2));
    QCOMPARE(c.SelectedRow(), 2);
    // Keeping the row when it is still there.
    QVERIFY(c.Refresh());
    QCOMPARE(c.SelectedRow(), 2);
    c.snmp.silentAgents = {"127.0.0.21", "127.0.0.23"};
    QVERIFY(c.Refresh());
    QCOMPARE(c.Names(), QStringList({"T2", "T4"}));
    QCOMPARE(c.SelectedRow(), 0);
    QCOMPARE(c.Data("IP Address"), QString("127.0.0.22"));
}

void TerminalListTest::clearAllEmptiesEverything() {
    Console c;
    c.Add({.ip = "127.0.0.21", .name = "ALPHA"});
    QVERIFY(c.Refresh());
    QSignalSpy done(&c.view, &CTarnView::refreshFinished);
    QTest::mouseClick(c.ui.clearAllButton, Qt::LeftButton);
    QVERIFY(done.wait(10000));
    QVERIFY(c.t.Terminals().Empty());
    QVERIFY(c.Names().isEmpty());
    QCOMPARE(c.ui.dataList->topLevelItemCount(), 0);
    QVERIFY(!c.ui.refreshButton->isEnabled());
}

void TerminalListTest::trapPromptOnlyWithTerminals() {
    Console c;
    c.view.OnTrapNewUnits();
    QCOMPARE(c.view.Banner(), QString());
    QVERIFY(!c.ui.refreshButton->isEnabled());
    c.Add({.ip = "127.0.0.21", .name = "ALPHA"});
    c.view.OnTrapNewUnits();
    const QString prompt("New Unit(s) Added To Database Through Trap(s), Press Refresh");
    QCOMPARE(c.view.Banner(), prompt);
    QCOMPARE(c.frame.MessageText(), prompt);
    QVERIFY(c.ui.refreshButton->isEnabled());
    QVERIFY(!c.ui.clearAllButton->isEnabled());

    // During a refresh the prompt is not shown: the refresh lists the new unit anyway.
    c.snmp.delay = std::chrono::milliseconds(20);
    QSignalSpy done(&c.view, &CTarnView::refreshFinished);
    c.view.RefreshAndValidateAll();
    c.view.OnTrapNewUnits();
    QVERIFY(!c.ui.refreshButton->isEnabled());
    QVERIFY(done.wait(10000));
    QCOMPARE(c.view.Banner(), QString());
    QCOMPARE(c.Names(), QStringList({"ALPHA"}));
}

void TerminalListTest::inputIsDiscardedButModalBoxesStillWork() {
    QLineEdit edit;
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    {
        InputBlocker blocker;
        QTest::keyClicks(&edit, "abc");
        QCOMPARE(edit.text(), QString());
        bool answered = false;
        QTimer::singleShot(50, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            QTest::keyClick(box, Qt::Key_Return);
            answered = true;
        });
        QMessageBox::information(nullptr, "Fleetwarden", "a worker's message");
        QVERIFY(answered);
    }
    QTest::keyClicks(&edit, "abc");
    QCOMPARE(edit.text(), QString("abc"));
}

void TerminalListTest::popupHitTestOnAListBox() {
    FakeSnmpManager snmp;
    TestDocument t(DefaultSettingsWith(), &snmp);
    QListWidget list;
    list.resize(200, 200);
    list.addItems({"ALPHA", "BETA"});
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    TerminalRecord alpha{.m_ip = "127.0.0.21", .m_name = "ALPHA", .m_macAdr = "AA"};
    TerminalRecord beta{.m_ip = "127.0.0.22", .m_name = "BETA", .m_macAdr = "BB"};
    t.Terminals().Append(alpha);
    t.Terminals().Append(beta);
    MacByItemTable macByItem;
    macByItem.Assign({"AA", "BB"});

    QPoint origin = list.viewport()->mapToGlobal(QPoint(0, 0));
    QRect second = list.visualItemRect(list.item(1));
    bool outside = true;
    QCOMPARE(ListItemFromPoint(origin + second.center(), outside, list), 1);
    QVERIFY(!outside);
    // In the empty space below the last item: the last item above the click.
    ShowTerminalInfoAt(t.Doc(), macByItem, list, origin + QPoint(20, 150));
    QVERIFY(QString::fromStdString(t.Messages().Texts().back()).startsWith("Name:\t\tBETA\n\n"));
    // Outside the client area: nothing at all.
    t.Messages().Clear();
    ShowTerminalInfoAt(t.Doc(), macByItem, list, origin + QPoint(20, 400));
    QVERIFY(t.Messages().Texts().empty());
    t.Terminals().Clear();

    // Spacing between rows and per-pixel scrolling, with a row partly out of
    // view at the top: the first row in view comes from the rows' geometry, so
    // a click on any row in view still finds it.
    QListWidget spaced;
    spaced.setSpacing(6);
    spaced.setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    spaced.resize(200, 150);
    for (int i = 0; i < 30; ++i) {
        spaced.addItem(QString("T%1").arg(i));
    }
    spaced.show();
    QVERIFY(QTest::qWaitForWindowExposed(&spaced));
    spaced.verticalScrollBar()->setValue(spaced.visualItemRect(spaced.item(5)).top() + 3);
    QCoreApplication::processEvents();
    QVERIFY(spaced.visualItemRect(spaced.item(5)).top() < 0);
    QPoint spacedOrigin = spaced.viewport()->mapToGlobal(QPoint(0, 0));
    for (int row : {6, 8}) {
        QCOMPARE(ListItemFromPoint(spacedOrigin + spaced.visualItemRect(spaced.item(row)).center(),
                                   outside, spaced),
                 row);
    }
}

void TerminalListTest::progressNoticeShowsTheLatestLines() {
    QWidget owner;
    CProgressNoticeDlg notice(&owner);
    QVERIFY(!notice.HasWindow());
    notice.Create();
    QVERIFY(notice.HasWindow());
    QVERIFY(QTest::qWaitForWindowExposed(notice.Window()));
    // What the screen shows, grabbed without the event loop running: the
    // caller of SetMessages blocks, so the notice must paint at once.
    auto onScreen = [&] {
        QWidget* window = notice.Window();
        return window->screen()
            ->grabWindow(window->winId())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    notice.SetMessages("Step one", "Please Wait");
    QImage one = onScreen();
    notice.SetMessages("Step two", "Please Wait");
    QImage two = onScreen();
    QVERIFY(one != two);
    QCOMPARE(two, notice.Window()->grab().toImage().convertToFormat(QImage::Format_RGB32));
    auto* first = notice.Window()->findChild<QLabel*>("message1");
    QCOMPARE(first->text(), QString("Step two"));
    QCOMPARE(first->property("controlId").toInt(), 1041);
    notice.DestroyWindow();
    QVERIFY(!notice.HasWindow());
    notice.Create();
    notice.SetMessages("Step three", "Please Wait");
    QCOMPARE(notice.Window()->findChild<QLabel*>("message1")->text(), QString("Step three"));
    QCOMPARE(notice.Window()->findChild<QLabel*>("message2")->text(), QString("Please Wait"));
}

QTEST_MAIN(TerminalListTest)
#include "TerminalListTest.moc"
