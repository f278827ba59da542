#include <QAction>
#include <QFileInfo>
#include <QListView>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>
#include <atomic>
#include <thread>

#include "FakeTerminals.h"
#include "MissingPeer.h"
#include "NetworkTestSupport.h"
#include "SimFleetProcess.h"
#include "TestDocument.h"
#include "TrapSender.h"
#include "core/terminals/TerminalDatabase.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CTarnView.h"
#include "gui/traps/CTrapMonitorDlg.h"
#include "ui_CTarnView.h"
#include "ui_CTrapMonitorDlg.h"

namespace {

struct Console {
    // `live`: SNMP requests go out through net-snmp instead of the fake.
    explicit Console(bool liveSnmp = false) : live(liveSnmp) {}
    bool live;
    FakeSnmpManager snmp;
    unsigned trapPort = FreeUdpPort();
    TestDocument t{DefaultSettingsWith("TrapPort=" + std::to_string(trapPort) + "\n"),
                   live ? nullptr : &snmp};
    std::unique_ptr<CMainFrame> frame = std::make_unique<CMainFrame>(t.Doc());
    CTarnView& view = *frame->View();

    void Show() {
        frame->show();
        if (!QTest::qWaitForWindowExposed(frame.get())) {
            qWarning("main window not exposed");
        }
        if (view.IsRefreshing()) {
            QSignalSpy done(&view, &CTarnView::refreshFinished);
            done.wait(10000);
        }
    }
    ~Console() { t.Terminals().Clear(); }
    CTrapMonitorDlg& Monitor() { return *view.TrapMonitor(); }
    QStringList Lines() {
        QStringList lines;
        for (int i = 0; i < Monitor().LineCounter(); ++i) {
            lines << Monitor().Line(i);
        }
        return lines;
    }
};

const QString kListening = "Listening For Traps...";
const QString kSeparator(80, '_');

bool IsTimeStamp(const QString& line) {
    static const QRegularExpression form(
        R"(^ \*\*\*\*\* \d\d/\d\d/\d{4} \d\d:\d\d:\d\d \*\*\*\*\*$)");
    return form.match(line).hasMatch();
}

}  // namespace

class TrapMonitorTest : public QObject {
    Q_OBJECT
private slots:
    void opensAtFirstShowAndAnswersCloseRequestsWithANotice();
    void clearDisplayLeavesOneLine();
    void linesFromAnotherThreadArriveInOrder();
    void aLongLogStaysUsableAndStartsOverWhenFull();
    void trapsAppearAndAColdStartPromptsARefresh();
    void exitWaitsForTheTrapInHandBeforeTheDatabaseGoes();
    void theFleetsColdStartsAreOfferedForRefresh();
};

void TrapMonitorTest::opensAtFirstShowAndAnswersCloseRequestsWithANotice() {
    Console c;
    QAction* command = c.frame->CommandAction(cmd::kTrapMonitor);
    QVERIFY(!c.view.TrapMonitor());
    emit c.frame->updateCommandUi();
    QVERIFY(command->isEnabled());
    c.Show();
    QVERIFY(c.view.TrapMonitorHasWindow());
    CTrapMonitorDlg& monitor = c.Monitor();
    QVERIFY(monitor.isVisible());
    QCOMPARE(monitor.windowTitle(), QString("Trap Monitor"));
    QCOMPARE(monitor.Controls().trapLog->property("controlId").toInt(), 1000);
    QCOMPARE(monitor.Controls().clearDisplayButton->property("controlId").toInt(), 1048);
    QTRY_COMPARE(c.Lines(), QStringList({kListening}));
    emit c.frame->updateCommandUi();
    QVERIFY(!command->isEnabled());
    command->trigger();
    QCOMPARE(c.view.TrapMonitor(), &monitor);

    // The close box three times, then the Escape key: four notices, window open.
    for (int i = 0; i < 3; ++i) {
        monitor.close();
    }
    QTest::keyClick(&monitor, Qt::Key_Escape);
    QVERIFY(monitor.isVisible());
    QStringList lines = c.Lines();
    QCOMPARE(lines.size(), 1 + 4 * 4);
    for (int n = 0; n < 4; ++n) {
        QCOMPARE(lines[1 + 4 * n], kSeparator);
        QVERIFY2(IsTimeStamp(lines[2 + 4 * n]), qPrintable(lines[2 + 4 * n]));
        QCOMPARE(lines[3 + 4 * n], QString());
        QCOMPARE(lines[4 + 4 * n],
                 QString("Trap Monitor Must Be Available At All Times, Close Ignored."));
    }
}

void TrapMonitorTest::clearDisplayLeavesOneLine() {
    Console c;
    c.Show();
    CTrapMonitorDlg& monitor = c.Monitor();
    QTRY_COMPARE(monitor.LineCounter(), 1);
    for (int i = 0; i < 20; ++i) {
        monitor.AddLine("line " + std::to_string(i));
    }
    QCOMPARE(monitor.LineCounter(), 21);
    QTest::mouseClick(monitor.Controls().clearDisplayButton, Qt::LeftButton);
    QCOMPARE(c.Lines(), QStringList({kListening}));
    monitor.AddLine("next");
    QCOMPARE(monitor.Line(1), QString("next"));
    QCOMPARE(monitor.LineCounter(), 2);
    QCOMPARE(monitor.Controls().trapLog->model()->rowCount(), 2);
}

void TrapMonitorTest::linesFromAnotherThreadArriveInOrder() {
    Console c;
    c.Show();
    CTrapMonitorDlg& monitor = c.Monitor();
    QTRY_COMPARE(monitor.LineCounter(), 1);
    const int kLines = 20000;
    std::thread writer([&] {
        for (int i = 0; i < kLines; ++i) {
            monitor.AddLine(std::to_string(i));
        }
    });
    writer.join();
    QTRY_COMPARE(monitor.LineCounter(), 1 + kLines);
    for (int i = 0; i < kLines; ++i) {
        QCOMPARE(monitor.Line(1 + i), QString::number(i));
    }
}

void TrapMonitorTest::aLongLogStaysUsableAndStartsOverWhenFull() {
    Console c;
    c.Show();
    CTrapMonitorDlg& monitor = c.Monitor();
    QTRY_COMPARE(monitor.LineCounter(), 1);
    QListView* log = monitor.Controls().trapLog;

    // A hundred thousand lines in, a further line still lands at the bottom.
    std::thread writer([&] {
        for (int i = 1; i < 100000; ++i) {
            monitor.AddLine("Unknown Trap generic=6 private=" + std::to_string(i));
        }
    });
    writer.join();
    QTRY_COMPARE(monitor.LineCounter(), 100000);
    monitor.AddLine("one more");
    QCOMPARE(monitor.Line(100000), QString("one more"));
    QTRY_VERIFY(
        log->visualRect(log->model()->index(100000, 0)).intersects(log->viewport()->rect()));
    // A line wider than the list can be scrolled to.
    int wide = log->horizontalScrollBar()->maximum();
    monitor.AddLine(std::string(300, 'W'));
    QTRY_VERIFY(log->horizontalScrollBar()->maximum() > wide);
    if (qEnvironmentVariableIsSet("TRAP_MONITOR_SHOT")) {
        monitor.grab().save(qEnvironmentVariable("TRAP_MONITOR_SHOT"));
    }

    // Filling the log to its limit starts it over with the line that did not fit.
    std::thread filler([&, from = monitor.LineCounter()] {
        for (int i = from; i < CTrapMonitorDlg::kMaxLines; ++i) {
            monitor.AddLine("filler");
        }
    });
    filler.join();
    QTRY_COMPARE(monitor.LineCounter(), CTrapMonitorDlg::kMaxLines);
    monitor.AddLine("overflow");
    QCOMPARE(c.Lines(), QStringList({kListening, "overflow"}));
}

void TrapMonitorTest::trapsAppearAndAColdStartPromptsARefresh() {
    Console c;
    AddFakeTerminal(c.snmp, {.ip = "127.0.0.21", .name = "ALPHA"});
    c.Show();
    CTrapMonitorDlg& monitor = c.Monitor();
    QTRY_COMPARE(monitor.LineCounter(), 1);
    QVERIFY(!c.view.Controls().refreshButton->isEnabled());
    std::vector<std::string> argv = SnmptrapV1(c.trapPort, "127.0.0.21", 0, 0);
    if (argv.empty()) {
        QSKIP_FOR_MISSING_PEER("snmptrap missing");
    }
    QCOMPARE(RunCommand(argv).exitCode, 0);
    QTRY_COMPARE(monitor.LineCounter(), 6);
    QStringList lines = c.Lines();
    QCOMPARE(lines[1], kSeparator);
    QVERIFY(IsTimeStamp(lines[2]));
    QCOMPARE(lines.mid(3), QStringList({"", "ALPHA : 127.0.0.21", "Cold Start"}));
    const QString prompt = "New Unit(s) Added To Database Through Trap(s), Press Refresh";
    QTRY_COMPARE(c.view.Banner(), prompt);
    QCOMPARE(c.frame->MessageText(), prompt);
    QVERIFY(c.view.Controls().refreshButton->isEnabled());
}

void TrapMonitorTest::exitWaitsForTheTrapInHandBeforeTheDatabaseGoes() {
    Console c;
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
    c.Show();
    QTRY_COMPARE(c.Monitor().LineCounter(), 1);
    TrapSender sender(c.trapPort);
    QVERIFY(sender.SendV1("127.0.0.21", 0, 0));
    QTRY_VERIFY(getStarted.load());
    c.frame.reset();
    QVERIFY(getFinished.load());
}

void TrapMonitorTest::theFleetsColdStartsAreOfferedForRefresh() {
    if (!QFileInfo::exists(QString::fromStdString(SimFleetProgram()))) {
        QSKIP_FOR_MISSING_PEER("the simulated fleet is not built");
    }
    Console c(true);
    c.Show();
    CTrapMonitorDlg& monitor = c.Monitor();
    QTRY_COMPARE(monitor.LineCounter(), 1);
    SimFleetProcess fleet({"[ALPHA]\nAddress=127.0.61.2\n[BETA]\nAddress=127.0.61.3\n",
                           {"--trap-port", std::to_string(c.trapPort), "--trap-dest", "127.0.0.1",
                            "--cold-start", "--cold-start-delay", "0.5"}});
    QVERIFY2(fleet.Ready(), fleet.Log().c_str());
    c.t.Doc().WriteINIValueStr("Misc", "SnmpPort", std::to_string(fleet.SnmpPort()));

    QTRY_COMPARE_WITH_TIMEOUT(monitor.LineCounter(), 1 + 2 * 5, 20000);
    QStringList lines = c.Lines();
    QStringList meanings = {lines[4] + " / " + lines[5], lines[9] + " / " + lines[10]};
    meanings.sort();
    QCOMPARE(meanings,
             QStringList({"ALPHA : 127.0.61.2 / Cold Start", "BETA : 127.0.61.3 / Cold Start"}));
    QTRY_COMPARE(c.view.Banner(),
                 QString("New Unit(s) Added To Database Through Trap(s), Press Refresh"));
    QSignalSpy refreshed(&c.view, &CTarnView::refreshFinished);
    QTest::mouseClick(c.view.Controls().refreshButton, Qt::LeftButton);
    QVERIFY(refreshed.wait(20000));
    QTreeWidget* list = c.view.Controls().terminalList;
    QStringList names;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        names << list->topLevelItem(i)->text(0);
    }
    names.sort();
    QCOMPARE(names, QStringList({"ALPHA", "BETA"}));
}

QTEST_MAIN(TrapMonitorTest)
#include "TrapMonitorTest.moc"
