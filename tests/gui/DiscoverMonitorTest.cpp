#include <QAction>
#include <QElapsedTimer>
#include <QListWidget>
#include <QProgressBar>
#include <QSignalSpy>
#include <QtTest>

#include "FakeTerminals.h"
#include "TestDocument.h"
#include "core/terminals/TerminalDatabase.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CTarnView.h"
#include "gui/discovery/CDiscoverMonitorDlg.h"
#include "ui_CDiscoverMonitorDlg.h"
#include "ui_CTarnView.h"

namespace {

// The console over a scripted fleet on subnet 10.3.1, hosts 1 to 40, where
// every request takes a little while, so that a scan lasts about a second.
struct Console {
    FakeSnmpManager snmp;
    TestDocument t{DefaultSettingsWith("FTPServerName=127.0.0.1\nDiscoverIPSubNet=10.3.1\n"
                                       "DiscoverRangeLow=1\nDiscoverRangeHigh=40\n"),
                   &snmp};
    CMainFrame frame{t.Doc()};
    CTarnView& view = *frame.View();

    Console() {
        AddFakeTerminal(snmp, {.ip = "10.3.1.2",
                               .name = "EARLY",
                               .description = "First desk",
                               .mac = "008064000001"});
        AddFakeTerminal(snmp, {.ip = "10.3.1.39", .name = "LATE", .mac = "008064000002"});
        snmp.delay = std::chrono::milliseconds(20);
        frame.show();
        if (!QTest::qWaitForWindowExposed(&frame)) {
            qWarning("main window not exposed");
        }
        if (view.IsRefreshing()) {
            QSignalSpy done(&view, &CTarnView::refreshFinished);
            done.wait(10000);
        }
    }

    QAction* Command(int id) {
        emit frame.updateCommandUi();
        return frame.CommandAction(id);
    }
    CDiscoverMonitorDlg& Monitor() { return *view.DiscoverMonitor(); }
    QStringList Log() {
        QStringList lines;
        if (!Monitor().HasWindow()) {
            return lines;
        }
        QListWidget* log = Monitor().Controls().logList;
        for (int i = 0; i < log->count(); ++i) {
            lines << log->item(i)->text();
        }
        return lines;
    }
    QStringList Names() {
        QStringList names;
        auto* list = view.Controls().terminalList;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            names << list->topLevelItem(i)->text(0);
        }
        return names;
    }
};

}  // namespace

class DiscoverMonitorTest : public QObject {
    Q_OBJECT
private slots:
    void aRunLogsTerminalsAndEndsWithARefresh();
    void theCloseBoxOnlyAsksTheRunToStop();
    void aWindowDestroyedUnderTheRunEndsItNormally();
    void aStopDoesNotWaitForTheProbeInFlight();
    void discoverNeedsTheServerAndTheSubnets();
};

void DiscoverMonitorTest::aRunLogsTerminalsAndEndsWithARefresh() {
    Console c;
    QSignalSpy refreshed(&c.view, &CTarnView::refreshFinished);
    QAction* discover = c.Command(cmd::kDiscover);
    QVERIFY(discover->isEnabled());
    discover->trigger();

    CDiscoverMonitorDlg* monitor = &c.Monitor();
    QVERIFY(monitor->HasWindow());
    QVERIFY(monitor->Window()->isVisible());
    QCOMPARE(monitor->Window()->windowTitle(), QString("Discover Monitor"));
    QCOMPARE(monitor->ProgressBar()->maximum(), 39);
    QCOMPARE(monitor->ProgressBar()->property("controlId").toInt(), 101);
    // While the run goes on, the commands that could interfere are disabled.
    QVERIFY(!c.Command(cmd::kDiscover)->isEnabled());
    QVERIFY(!c.Command(cmd::kSetup)->isEnabled());
    QVERIFY(!c.view.Controls().refreshButton->isEnabled());
    QVERIFY(!c.view.Controls().clearAllButton->isEnabled());

    const QStringList early = {"", "EARLY", "First desk", "10.3.1.2", QString(80, '_')};
    QTRY_COMPARE_WITH_TIMEOUT(c.Log(), early, 5000);
    QCOMPARE(monitor->LineCount(), 5);
    QCOMPARE(monitor->Controls().logList->selectedItems().size(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(monitor->ProgressBar()->value() > 10, 5000);

    // The end: the view destroys the window, keeps a fresh object and refreshes.
    QVERIFY(refreshed.wait(10000));
    QVERIFY(!c.view.DiscoverMonitorHasWindow());
    QVERIFY(c.view.DiscoverMonitor() != nullptr);
    QCOMPARE(c.Names(), QStringList({"EARLY", "LATE"}));
    QVERIFY(c.Command(cmd::kDiscover)->isEnabled());
    QVERIFY(c.view.Controls().refreshButton->isEnabled());
}

void DiscoverMonitorTest::theCloseBoxOnlyAsksTheRunToStop() {
    Console c;
    QSignalSpy refreshed(&c.view, &CTarnView::refreshFinished);
    c.Command(cmd::kDiscover)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(c.Log().size(), 5, 5000);

    // Twice the close box, then Escape: the window stays; the run stops once.
    QDialog* window = c.Monitor().Window();
    QVERIFY(!window->close());
    QVERIFY(!window->close());
    QTest::keyClick(window, Qt::Key_Escape);
    QVERIFY(window->isVisible());
    QVERIFY(c.view.DiscoverMonitorHasWindow());

    QVERIFY(refreshed.wait(10000));
    QVERIFY(!c.view.DiscoverMonitorHasWindow());
    QCOMPARE(c.Names(), QStringList({"EARLY"}));
    QCOMPARE(c.snmp.GetCount("10.3.1.39", ".1.3.6.1.2.1.1.5.0"), 0);
    // One end of the run, one refresh.
    QTest::qWait(300);
    QCOMPARE(refreshed.count(), 1);

    // A request left over from this run does not reach the next one.
    c.t.Terminals().Clear();
    c.Command(cmd::kDiscover)->trigger();
    QVERIFY(refreshed.wait(10000));
    QCOMPARE(c.Names(), QStringList({"EARLY", "LATE"}));
}

void DiscoverMonitorTest::aWindowDestroyedUnderTheRunEndsItNormally() {
    Console c;
    QSignalSpy refreshed(&c.view, &CTarnView::refreshFinished);
    c.Command(cmd::kDiscover)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(c.Log().size(), 5, 5000);
    // The addresses left are passed over without a probe, and no stop is asked.
    QCOMPARE(c.Monitor().DestroyWindow(), kDiscoveryEnded);
    QCOMPARE(c.snmp.GetCount("10.3.1.39", ".1.3.6.1.2.1.1.5.0"), 0);
    QVERIFY(refreshed.wait(10000));
    QCOMPARE(c.Names(), QStringList({"EARLY"}));
}

void DiscoverMonitorTest::aStopDoesNotWaitForTheProbeInFlight() {
    Console c;
    // Every probe now takes 10 s unless the run is stopped.
    c.snmp.delay = std::chrono::seconds(10);
    QSignalSpy refreshed(&c.view, &CTarnView::refreshFinished);
    c.Command(cmd::kDiscover)->trigger();
    QTRY_VERIFY(c.snmp.GetCount("10.3.1.1", ".1.3.6.1.2.1.1.5.0") == 1);
    QElapsedTimer stopping;
    stopping.start();
    c.Monitor().Window()->close();
    QTRY_VERIFY_WITH_TIMEOUT(!c.view.DiscoverMonitorHasWindow(), 5000);
    QVERIFY2(stopping.elapsed() < 1000, qPrintable(QString::number(stopping.elapsed())));
    QCOMPARE(c.snmp.GetCount("10.3.1.2", ".1.3.6.1.2.1.1.5.0"), 0);
}

void DiscoverMonitorTest::discoverNeedsTheServerAndTheSubnets() {
    FakeSnmpManager snmp;
    TestDocument t(DefaultSettingsWith("FTPServerName=\nDiscoverIPSubNet=10.3.1\n"), &snmp);
    CMainFrame frame(t.Doc());
    QVERIFY(!frame.View()->DiscoverMonitorHasWindow());
    emit frame.updateCommandUi();
    QVERIFY(!frame.CommandAction(cmd::kDiscover)->isEnabled());
}

QTEST_MAIN(DiscoverMonitorTest)
#include "DiscoverMonitorTest.moc"
