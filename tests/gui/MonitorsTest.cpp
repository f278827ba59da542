#include <QAction>
#include <QElapsedTimer>
#include <QListView>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScrollBar>
#include <atomic>
#include <thread>

#include "GuiTestSupport.h"
#include "MissingPeer.h"
#include "TrapSender.h"
#include "gui/discovery/CDiscoverMonitorDlg.h"
#include "gui/traps/CTrapMonitorDlg.h"

namespace {

const QString kListening = "Listening For Traps...";
const QString kSeparator(80, '_');

bool IsTimeStamp(const QString& line) {
    static const QRegularExpression form(
        R"(^ \*\*\*\*\* \d\d/\d\d/\d{4} \d\d:\d\d:\d\d \*\*\*\*\*$)");
    return form.match(line).hasMatch();
}

QStringList Lines(CTrapMonitorDlg& monitor) {
    QStringList lines;
    for (int i = 0; i < monitor.LineCounter(); ++i) {
        lines << monitor.Line(i);
    }
    return lines;
}

// The console over a scripted fleet on subnet 10.3.1, hosts 1 to 40, where
// every request takes a little while, so that a scan lasts about a second.
struct DiscoveringConsole : ShownConsole {
    DiscoveringConsole()
        : ShownConsole(
              "FTPServerName=127.0.0.1\nDiscoverIPSubNet=10.3.1\nDiscoverRangeLow=1\n"
              "DiscoverRangeHigh=40\n") {
        AddFakeTerminal(snmp, {.ip = "10.3.1.2",
                               .name = "EARLY",
                               .description = "First desk",
                               .mac = "008064000001"});
        AddFakeTerminal(snmp, {.ip = "10.3.1.39", .name = "LATE", .mac = "008064000002"});
        snmp.delay = std::chrono::milliseconds(20);
    }
    CDiscoverMonitorDlg& Monitor() { return *view.DiscoverMonitor(); }
    QStringList Log() {
        return Monitor().HasWindow() ? Texts(Child<QListWidget>(Monitor().Window(), "logList"))
                                     : QStringList();
    }
    int NameRequests(const std::string& ip) { return snmp.GetCount(ip, ".1.3.6.1.2.1.1.5.0"); }
};

}  // namespace

class MonitorsTest : public QObject {
    Q_OBJECT
private slots:
    void trapMonitorOpensAtFirstShowAndAnswersCloseRequestsWithANotice();
    void trapMonitorKeepsLinesInOrderAndStartsOverWhenFull();
    void trapsAppearAndAColdStartPromptsARefresh();
    void exitWaitsForTheTrapInHandBeforeTheDatabaseGoes();
    void aDiscoveryLogsTerminalsAndEndsWithARefresh();
    void theDiscoverMonitorsCloseBoxOnlyAsksTheRunToStop();
    void aWindowDestroyedUnderTheRunEndsItNormally();
    void aStopDoesNotWaitForTheProbeInFlight();
};

void MonitorsTest::trapMonitorOpensAtFirstShowAndAnswersCloseRequestsWithANotice() {
    ShownConsole c("", false);
    QVERIFY(!c.view.TrapMonitor());
    QVERIFY(c.Command(cmd::kTrapMonitor)->isEnabled());
    c.Show();
    CTrapMonitorDlg& monitor = *c.view.TrapMonitor();
    QVERIFY(monitor.isVisible());
    QTRY_COMPARE(Lines(monitor), QStringList({kListening}));
    QVERIFY(!c.Command(cmd::kTrapMonitor)->isEnabled());
    c.frame->CommandAction(cmd::kTrapMonitor)->trigger();
    QCOMPARE(c.view.TrapMonitor(), &monitor);

    // The close box three times, then the Escape key: four notices, window open.
    for (int i = 0; i < 3; ++i) {
        monitor.close();
    }
    QTest::keyClick(&monitor, Qt::Key_Escape);
    QVERIFY(monitor.isVisible());
    QStringList lines = Lines(monitor);
    QCOMPARE(lines.size(), 1 + 4 * 4);
    for (int n = 0; n < 4; ++n) {
        QCOMPARE(lines[1 + 4 * n], kSeparator);
        QVERIFY2(IsTimeStamp(lines[2 + 4 * n]), qPrintable(lines[2 + 4 * n]));
        QCOMPARE(lines.mid(3 + 4 * n, 2),
                 QStringList({"", "Trap Monitor Must Be Available At All Times, Close Ignored."}));
    }
}

void MonitorsTest::trapMonitorKeepsLinesInOrderAndStartsOverWhenFull() {
    ShownConsole c;
    CTrapMonitorDlg& monitor = *c.view.TrapMonitor();
    QTRY_COMPARE(monitor.LineCounter(), 1);
    auto* log = Child<QListView>(&monitor, "trapLog");

    // A hundred thousand lines from another thread, in order; a further line
    // still lands at the bottom, in view.
    std::thread writer([&] {
        for (int i = 1; i < 100000; ++i) {
            monitor.AddLine(std::to_string(i));
        }
    });
    writer.join();
    QTRY_COMPARE(monitor.LineCounter(), 100000);
    bool inOrder = true;
    for (int i = 1; i < 100000; ++i) {
        inOrder = inOrder && monitor.Line(i) == QString::number(i);
    }
    QVERIFY(inOrder);
    monitor.AddLine("one more");
    QCOMPARE(monitor.Line(100000), QString("one more"));
    QTRY_VERIFY(
        log->visualRect(log->model()->index(100000, 0)).intersects(log->viewport()->rect()));
    // A line wider than the list can be scrolled to.
    int wide = log->horizontalScrollBar()->maximum();
    monitor.AddLine(std::string(300, 'W'));
    QTRY_VERIFY(log->horizontalScrollBar()->maximum() > wide);

    // Filling the log to its limit starts it over with the line that did not fit.
    std::thread filler([&, from = monitor.LineCounter()] {
        for (int i = from; i < CTrapMonitorDlg::kMaxLines; ++i) {
            monitor.AddLine("filler");
        }
    });
    filler.join();
    QTRY_COMPARE(monitor.LineCounter(), CTrapMonitorDlg::kMaxLines);
    monitor.AddLine("overflow");
    QCOMPARE(Lines(monitor), QStringList({kListening, "overflow"}));

    // Clear Display leaves the first line.
    Click(&monitor, "clearDisplayButton");
    QCOMPARE(Lines(monitor), QStringList({kListening}));
    monitor.AddLine("next");
    QCOMPARE(Lines(monitor), QStringList({kListening, "next"}));
    QCOMPARE(log->model()->rowCount(), 2);
}

void MonitorsTest::trapsAppearAndAColdStartPromptsARefresh() {
    ShownConsole c;
    AddFakeTerminal(c.snmp, {.ip = "127.0.0.21", .name = "ALPHA"});
    CTrapMonitorDlg& monitor = *c.view.TrapMonitor();
    QTRY_COMPARE(monitor.LineCounter(), 1);
    QVERIFY(!Child(&c.view, "refreshButton")->isEnabled());
    std::vector<std::string> argv = SnmptrapV1(c.trapPort, "127.0.0.21", 0, 0);
    if (argv.empty()) {
        QSKIP_FOR_MISSING_PEER("snmptrap missing");
    }
    QCOMPARE(RunCommand(argv).exitCode, 0);
    QTRY_COMPARE(monitor.LineCounter(), 6);
    QStringList lines = Lines(monitor);
    QCOMPARE(lines[1], kSeparator);
    QVERIFY(IsTimeStamp(lines[2]));
    QCOMPARE(lines.mid(3), QStringList({"", "ALPHA : 127.0.0.21", "Cold Start"}));
    const QString prompt = "New Unit(s) Added To Database Through Trap(s), Press Refresh";
    QTRY_COMPARE(c.view.Banner(), prompt);
    QCOMPARE(c.frame->MessageText(), prompt);
    QVERIFY(Child(&c.view, "refreshButton")->isEnabled());
}

void MonitorsTest::exitWaitsForTheTrapInHandBeforeTheDatabaseGoes() {
    ShownConsole c;
    AddFakeTerminal(c.snmp, {.ip = "127.0.0.21", .name = "ALPHA"});
    // The cold start's name GET is slow; its registration follows it.
    std::atomic<bool> getStarted{false};
    std::atomic<bool> getFinished{false};
    c.snmp.beforeAnswer = [&](const FakeSnmpManager::Request& /*request*/) {
        if (!getStarted.exchange(true)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
            getFinished = true;
        }
    };
    QTRY_COMPARE(c.view.TrapMonitor()->LineCounter(), 1);
    QVERIFY(TrapSender(c.trapPort).SendV1("127.0.0.21", 0, 0));
    QTRY_VERIFY(getStarted.load());
    c.frame.reset();
    QVERIFY(getFinished.load());
}

void MonitorsTest::aDiscoveryLogsTerminalsAndEndsWithARefresh() {
    DiscoveringConsole c;
    // Without a staging server Discover is not offered.
    c.t.Doc().WriteINIValueStr("Misc", "FTPServerName", "");
    QVERIFY(!c.Command(cmd::kDiscover)->isEnabled());
    c.t.Doc().WriteINIValueStr("Misc", "FTPServerName", "127.0.0.1");
    QSignalSpy refreshed(&c.view, &CTarnView::refreshFinished);
    c.Command(cmd::kDiscover)->trigger();

    CDiscoverMonitorDlg* monitor = &c.Monitor();
    QVERIFY(monitor->HasWindow() && monitor->Window()->isVisible());
    QCOMPARE(monitor->ProgressBar()->maximum(), 39);
    // While the run goes on, the commands that could interfere are disabled.
    QVERIFY(!c.Command(cmd::kDiscover)->isEnabled());
    QVERIFY(!c.Command(cmd::kSetup)->isEnabled());
    QVERIFY(!Child(&c.view, "refreshButton")->isEnabled());
    QVERIFY(!Child(&c.view, "clearAllButton")->isEnabled());

    const QStringList early = {"", "EARLY", "First desk", "10.3.1.2", kSeparator};
    QTRY_COMPARE_WITH_TIMEOUT(c.Log(), early, 5000);
    QCOMPARE(Child<QListWidget>(monitor->Window(), "logList")->selectedItems().size(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(monitor->ProgressBar()->value() > 10, 5000);

    // The end: the view destroys the window, keeps a fresh object and refreshes.
    QVERIFY(refreshed.wait(10000));
    QVERIFY(!c.view.DiscoverMonitorHasWindow());
    QVERIFY(c.view.DiscoverMonitor() != nullptr);
    QCOMPARE(c.Names(), QStringList({"EARLY", "LATE"}));
    QVERIFY(c.Command(cmd::kDiscover)->isEnabled());
    QVERIFY(Child(&c.view, "refreshButton")->isEnabled());
}

void MonitorsTest::theDiscoverMonitorsCloseBoxOnlyAsksTheRunToStop() {
    DiscoveringConsole c;
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
    QCOMPARE(c.NameRequests("10.3.1.39"), 0);
    // One end of the run, one refresh.
    QTest::qWait(300);
    QCOMPARE(refreshed.count(), 1);

    // A request left over from this run does not reach the next one.
    c.t.Terminals().Clear();
    c.Command(cmd::kDiscover)->trigger();
    QVERIFY(refreshed.wait(10000));
    QCOMPARE(c.Names(), QStringList({"EARLY", "LATE"}));
}

void MonitorsTest::aWindowDestroyedUnderTheRunEndsItNormally() {
    DiscoveringConsole c;
    QSignalSpy refreshed(&c.view, &CTarnView::refreshFinished);
    c.Command(cmd::kDiscover)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(c.Log().size(), 5, 5000);
    // The addresses left are passed over without a probe, and no stop is asked.
    QCOMPARE(c.Monitor().DestroyWindow(), kDiscoveryEnded);
    QCOMPARE(c.NameRequests("10.3.1.39"), 0);
    QVERIFY(refreshed.wait(10000));
    QCOMPARE(c.Names(), QStringList({"EARLY"}));
}

void MonitorsTest::aStopDoesNotWaitForTheProbeInFlight() {
    DiscoveringConsole c;
    // Every probe now takes 10 s unless the run is stopped.
    c.snmp.delay = std::chrono::seconds(10);
    c.Command(cmd::kDiscover)->trigger();
    QTRY_VERIFY(c.NameRequests("10.3.1.1") == 1);
    QElapsedTimer stopping;
    stopping.start();
    c.Monitor().Window()->close();
    QTRY_VERIFY_WITH_TIMEOUT(!c.view.DiscoverMonitorHasWindow(), 5000);
    QVERIFY2(stopping.elapsed() < 1000, qPrintable(QString::number(stopping.elapsed())));
    QCOMPARE(c.NameRequests("10.3.1.2"), 0);
}

QTEST_MAIN(MonitorsTest)
#include "MonitorsTest.moc"
