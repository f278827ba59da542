#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <atomic>
#include <chrono>
#include <thread>

#include "CliTestSupport.h"
#include "GuiTestSupport.h"
#include "MissingPeer.h"
#include "SimFleetProcess.h"
#include "TrapSender.h"
#include "TrapTestSupport.h"
#include "core/terminals/TerminalDatabase.h"
#include "gui/app/CAboutDlg.h"
#include "gui/app/CHelpDlg.h"
#include "gui/app/ConsoleOptions.h"
#include "gui/common/TerminalInfoPopup.h"
#include "gui/discovery/CDiscoverMonitorDlg.h"
#include "gui/transfer/CProgressNoticeDlg.h"
#include "gui/traps/CTrapMonitorDlg.h"

namespace {

const QString kListening = "Listening For Traps...";
const QString kSeparator(80, '_');
const QString kPrompt = "New Unit(s) Added To Database Through Trap(s), Press Refresh";

QStringList MenuTexts(const QWidget* menu) {
    QStringList texts;
    for (QAction* action : menu ? menu->actions() : QList<QAction*>{}) {
        texts << (action->isSeparator() ? QString("-") : action->text());
    }
    return texts;
}

QMenu* TopMenu(QMainWindow& frame, const QString& title) {
    for (QAction* action : frame.menuBar()->actions()) {
        if (action->text() == title) {
            return action->menu();
        }
    }
    return nullptr;
}

// The data list's value under a label, and the list's selected row.
QString Data(ShownConsole& c, const QString& label) {
    auto* data = Child<QTreeWidget>(&c.view, "dataList");
    for (int i = 0; i < data->topLevelItemCount(); ++i) {
        if (data->topLevelItem(i)->text(0) == label) {
            return data->topLevelItem(i)->text(1);
        }
    }
    return "<missing>";
}
int SelectedRow(ShownConsole& c) {
    auto selected = c.List()->selectedItems();
    return selected.isEmpty() ? -1 : c.List()->indexOfTopLevelItem(selected.first());
}
bool Enabled(ShownConsole& c, const char* button) {
    return Child(&c.view, button)->isEnabled();
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
    // Starts a run on an empty database, with the first terminal logged.
    void StartRun() {
        t.Terminals().Clear();
        Command(cmd::kDiscover)->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(Log().size(), 5, 5000);
    }
};

}  // namespace

class ConsoleTest : public QObject {
    Q_OBJECT
private slots:
    void theMainWindowFollowsTheDatabaseAsOfItsLastRefresh();
    void aboutTextWithAndWithoutTemplate();
    void anEmptySettingsNameIsRefused();
    void closingEndsEveryWindowWithoutWaitingForRequests();
    void popupHitTestOnAListBox();
    void progressNoticePaintsTheLatestLinesAtOnce();
    void theTrapMonitorStaysAndShowsTraps();
    void trapMonitorKeepsLinesInOrderAndStartsOverWhenFull();
    void exitWaitsForTheTrapInHandBeforeTheDatabaseGoes();
    void theDiscoverMonitorRunsAndStops();
    void exportWritesWhatTheCommandLineLists();
};

void ConsoleTest::theMainWindowFollowsTheDatabaseAsOfItsLastRefresh() {
    ShownConsole c("", false);
    CMainFrame& frame = *c.frame;
    QCOMPARE(Child<QLabel>(&c.view, "banner")->text(),
             QString("***** BETA - Test and Evaluation *****"));
    QCOMPARE(frame.windowTitle(), QString("Fleetwarden"));
    QCOMPARE(MenuTexts(TopMenu(frame, "&File")),
             QStringList({"&Export Terminal List...", "-", "E&xit"}));
    QMenu* utilities = TopMenu(frame, "&Utilities");
    QCOMPARE(MenuTexts(utilities),
             QStringList({"&Setup", "-", "&Discover", "-", "&Configure Terminal Info", "-",
                          "&Upload / Download"}));
    QCOMPARE(
        MenuTexts(utilities->actions().last()->menu()),
        QStringList({"&Upload Configuration", "Download &Configuration", "Download &Firmware"}));
    QCOMPARE(frame.MessageText(), QString("Ready"));
    // The Help menu comes with the first show, once.
    QVERIFY(!TopMenu(frame, "&Help"));
    c.Show();
    frame.hide();
    frame.show();
    QCOMPARE(MenuTexts(frame.menuBar()).count("&Help"), 1);
    QCOMPARE(MenuTexts(TopMenu(frame, "&Help")),
             QStringList({"&Help Topics", "&About Manager..."}));
    // Help Topics shows the guide found beside the program, in one window.
    frame.CommandAction(57670)->trigger();
    frame.CommandAction(57670)->trigger();
    const QList<CHelpDlg*> helpWindows = frame.findChildren<CHelpDlg*>();
    QCOMPARE(helpWindows.size(), 1);
    QVERIFY(helpWindows[0]->isVisible());
    const QString guide =
        QString::fromStdString(ReadTextFile(ProgramDirectory() + "/user-guide.md"));
    QVERIFY(guide.startsWith("# "));
    QVERIFY(helpWindows[0]->GuideText().startsWith(guide.section('\n', 0, 0).mid(2) + "\n"));
    helpWindows[0]->close();
    TopMenu(frame, "&View")->actions().first()->trigger();
    QVERIFY(!frame.statusBar()->isVisible());
    QCOMPARE(c.view.Banner(), QString());
    // Without terminals: nothing to refresh or clear, and no prompt for traps.
    QVERIFY(c.Refresh());
    QVERIFY(!Enabled(c, "refreshButton") && !Enabled(c, "clearAllButton"));
    c.view.OnTrapNewUnits();
    QCOMPARE(c.view.Banner(), QString());

    // The list shows the database only as of the last refresh; new units from
    // traps prompt one, except while one runs.
    c.Add({.ip = "127.0.0.21", .name = "SAME", .location = "North", .mac = "0080641200AA"});
    c.Add({.ip = "127.0.0.22", .name = "SAME", .location = "South", .mac = "0080641200BB"});
    QVERIFY(c.Names().isEmpty());
    c.view.OnTrapNewUnits();
    QCOMPARE(c.view.Banner() + "|" + frame.MessageText(), kPrompt + "|" + kPrompt);
    QVERIFY(Enabled(c, "refreshButton") && !Enabled(c, "clearAllButton"));
    c.snmp.delay = std::chrono::milliseconds(20);
    QSignalSpy done(&c.view, &CTarnView::refreshFinished);
    c.view.RefreshAndValidateAll();
    c.view.OnTrapNewUnits();
    QVERIFY(!Enabled(c, "refreshButton"));
    QVERIFY(done.wait(10000));
    QCOMPARE(c.view.Banner(), QString());
    QCOMPARE(c.Names(), QStringList({"SAME", "SAME"}));
    QCOMPARE(SelectedRow(c), 0);
    QCOMPARE(Data(c, "Location") + "|" + Data(c, "Build #") + "|" + Data(c, "MAC Address"),
             QString("North|4711|0080641200AA"));
    QVERIFY(Enabled(c, "refreshButton") && Enabled(c, "clearAllButton"));
    c.List()->setCurrentItem(c.List()->topLevelItem(1));
    QCOMPARE(Data(c, "Location"), QString("South"));
    QCOMPARE(QString::fromStdString(c.view.SelectedIP()), QString("127.0.0.22"));
    // A right click on a row shows that row's terminal; below the rows, nothing.
    QWidget* viewport = c.List()->viewport();
    c.t.Messages().Clear();
    for (QPoint at : {c.List()->visualItemRect(c.List()->topLevelItem(1)).center(),
                      QPoint(5, viewport->height() - 2)}) {
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &click);
    }
    QCOMPARE(c.t.Messages().Texts().size(), 1u);
    const QString shown = QString::fromStdString(c.t.Messages().Texts().back());
    QVERIFY2(shown.startsWith("Name:\t\tSAME\n\n") && shown.contains("Location:\t\tSouth\n\n") &&
                 shown.contains("MAC Address:\t0080641200BB\n\n"),
             qPrintable(shown));
    // The row stays selected while it is there, and falls back to the first.
    QVERIFY(c.Refresh());
    QCOMPARE(SelectedRow(c), 1);
    c.snmp.silentAgents = {"127.0.0.22"};
    QVERIFY(c.Refresh());
    QCOMPARE(SelectedRow(c), 0);
    QCOMPARE(Data(c, "IP Address"), QString("127.0.0.21"));

    Click(&c.view, "clearAllButton");
    QVERIFY(done.wait(10000));
    QVERIFY(c.t.Terminals().Empty() && c.Names().isEmpty());
    QCOMPARE(Child<QTreeWidget>(&c.view, "dataList")->topLevelItemCount(), 0);
    QVERIFY(!Enabled(c, "refreshButton"));
}

void ConsoleTest::aboutTextWithAndWithoutTemplate() {
    TestDocument t("[Misc]\n");
    QCOMPARE(CAboutDlg(t.Doc()).VersionText(), QString("1.0.2.1          VTPL"));
    WriteTextFile(t.Doc().GetTemplatePath(), "[Template-Version]\n\"Version\"=2.0\n");
    QCOMPARE(CAboutDlg(t.Doc()).VersionText(), QString("1.0.2.1          V2.0TPL"));
}
void ConsoleTest::anEmptySettingsNameIsRefused() {
    // An empty name would quietly mean the default file beside the program.
    const std::vector<std::vector<std::string>> cases = {
        {"--settings", ""}, {"--settings="}, {"--settings"}, {"--settings", "site.ini"}};
    for (const auto& args : cases) {
        std::vector<std::string> argv = {"fleetwarden"};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> pointers;
        for (auto& arg : argv) {
            pointers.push_back(arg.data());
        }
        ConsoleOptions options =
            ConsoleOptions::Parse(static_cast<int>(pointers.size()), pointers.data());
        bool named = args.size() == 2 && !args[1].empty();
        QCOMPARE(options.error.empty(), named);
        QCOMPARE(options.settingsPath, named ? args[1] : std::string());
    }
}
void ConsoleTest::closingEndsEveryWindowWithoutWaitingForRequests() {
    using std::chrono::steady_clock;
    // Every request, of the refresh, of the scan or for a trap's sender, takes
    // 10 s unless its worker is stopped.
    for (const std::string during : {"a refresh", "a discovery", "a trap's name request"}) {
        ShownConsole c(
            "FTPServerName=127.0.0.1\nDiscoverIPSubNet=10.9.1\nDiscoverRangeLow=1\n"
            "DiscoverRangeHigh=20\n");
        c.Add({.ip = "10.9.2.1", .name = "SLOW"});
        QVERIFY(c.Refresh());
        QTRY_COMPARE(c.view.TrapMonitor()->LineCounter(), 1);
        c.snmp.delay = std::chrono::seconds(10);
        std::size_t asked = c.snmp.Requests().size();
        if (during == "a refresh") {
            c.view.RefreshAndValidateAll();
        } else if (during == "a discovery") {
            c.view.OnDiscover();
        } else {
            QVERIFY(SendTrap(c.trapPort, "10.9.2.1", 6, 5));
        }
        QTRY_VERIFY(c.snmp.Requests().size() > asked);
        QVERIFY(c.view.TrapMonitor()->isVisible());

        auto started = steady_clock::now();
        c.frame->close();
        QTRY_VERIFY_WITH_TIMEOUT(!c.frame->isVisible(), 3000);
        QVERIFY(!c.view.TrapMonitor()->isVisible());
        QVERIFY(!c.view.DiscoverMonitor()->Window() ||
                !c.view.DiscoverMonitor()->Window()->isVisible());
        c.frame.reset();
        QVERIFY2(steady_clock::now() - started < std::chrono::seconds(3), during.c_str());
    }
}
void ConsoleTest::popupHitTestOnAListBox() {
    TestDocument t("[Misc]\n");
    QListWidget list;
    list.resize(200, 200);
    list.addItems({"ALPHA", "BETA"});
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    t.Terminals().Append({.m_ip = "127.0.0.21", .m_name = "ALPHA", .m_macAdr = "AA"});
    t.Terminals().Append({.m_ip = "127.0.0.22", .m_name = "BETA", .m_macAdr = "BB"});
    MacByItemTable macByItem;
    macByItem.Assign({"AA", "BB"});

    QPoint origin = list.viewport()->mapToGlobal(QPoint(0, 0));
    bool outside = true;
    QCOMPARE(ListItemFromPoint(origin + list.visualItemRect(list.item(1)).center(), outside, list),
             1);
    QVERIFY(!outside);
    // In the empty space below the last item: the last item above the click.
    ShowTerminalInfoAt(t.Doc(), macByItem, list, origin + QPoint(20, 150));
    QVERIFY(QString::fromStdString(t.Messages().Texts().back()).startsWith("Name:\t\tBETA\n\n"));
    // Outside the client area: nothing at all.
    t.Messages().Clear();
    ShowTerminalInfoAt(t.Doc(), macByItem, list, origin + QPoint(20, 400));
    QVERIFY(t.Messages().Texts().empty());

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
void ConsoleTest::progressNoticePaintsTheLatestLinesAtOnce() {
    QWidget owner;
    CProgressNoticeDlg notice(&owner);
    QVERIFY(!notice.HasWindow());
    notice.Create();
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
    QCOMPARE(Child<QLabel>(notice.Window(), "message1")->text(), QString("Step two"));
    notice.DestroyWindow();
    QVERIFY(!notice.HasWindow());
    notice.Create();
    notice.SetMessages("Step three", "Please Wait");
    QCOMPARE(Child<QLabel>(notice.Window(), "message1")->text() + " / " +
                 Child<QLabel>(notice.Window(), "message2")->text(),
             QString("Step three / Please Wait"));
}

void ConsoleTest::theTrapMonitorStaysAndShowsTraps() {
    ShownConsole c("", false);
    AddFakeTerminal(c.snmp, {.ip = "127.0.0.21", .name = "ALPHA"});
    QVERIFY(!c.view.TrapMonitor());
    QVERIFY(c.Command(cmd::kTrapMonitor)->isEnabled());
    c.Show();
    CTrapMonitorDlg& monitor = *c.view.TrapMonitor();
    QVERIFY(monitor.isVisible());
    QTRY_COMPARE(Lines(monitor), QStringList({kListening}));
    QVERIFY(!c.Command(cmd::kTrapMonitor)->isEnabled());

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
        QVERIFY2(IsTrapTimeStamp(lines[2 + 4 * n].toStdString()), qPrintable(lines[2 + 4 * n]));
        QCOMPARE(lines.mid(3 + 4 * n, 2),
                 QStringList({"", "Trap Monitor Must Be Available At All Times, Close Ignored."}));
    }
    // Clear Display leaves the first line.
    Click(&monitor, "clearDisplayButton");
    QCOMPARE(Lines(monitor), QStringList({kListening}));

    // Save Log As writes the lines shown; a link picked as the file is
    // replaced, never written through; a file that cannot be made is reported.
    monitor.AddLine("T\\1 \xc3\xa9");
    QTRY_COMPARE(monitor.LineCounter(), 2);
    const QString dir = QString::fromStdString(c.t.Dir().Path());
    const QString victim = dir + "/victim", log = dir + "/trap.log";
    WriteTextFile(victim.toStdString(), "untouched");
    QVERIFY(QFile::link(victim, log));
    const std::pair<QString, std::string> saves[] = {
        {log, "Listening For Traps...\nT\\1 \xc3\xa9\n"},
        {dir + "/missing/trap.log", "The File Could Not Be Saved: " + dir.toStdString() +
                                        "/missing/trap.log (No such file or directory)"}};
    for (const auto& [answer, expected] : saves) {
        AnsweringSavePicker picker(answer);
        c.view.SetFileSavePicker(picker);
        Child<QAction>(&monitor, "saveLogAsAction")->trigger();
        QCOMPARE(answer == log ? ReadTextFile(log.toStdString()) : c.t.Messages().Texts().back(),
                 expected);
    }
    QVERIFY(!QFileInfo(log).isSymLink());
    QCOMPARE(ReadTextFile(victim.toStdString()), std::string("untouched"));
    Click(&monitor, "clearDisplayButton");

    // A cold start from net-snmp's snmptrap registers the sender and prompts a refresh.
    std::vector<std::string> argv = SnmptrapV1(c.trapPort, "127.0.0.21", 0, 0);
    if (argv.empty()) {
        QSKIP_FOR_MISSING_PEER("snmptrap missing");
    }
    QCOMPARE(RunCommand(argv).exitCode, 0);
    QTRY_COMPARE(monitor.LineCounter(), 6);
    lines = Lines(monitor);
    QVERIFY(IsTrapTimeStamp(lines[2].toStdString()));
    QCOMPARE(lines.mid(3), QStringList({"", "ALPHA : 127.0.0.21", "Cold Start"}));
    QTRY_COMPARE(c.view.Banner(), kPrompt);
    QVERIFY(Enabled(c, "refreshButton"));
}

void ConsoleTest::trapMonitorKeepsLinesInOrderAndStartsOverWhenFull() {
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
void ConsoleTest::exitWaitsForTheTrapInHandBeforeTheDatabaseGoes() {
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
    QVERIFY(SendTrap(c.trapPort, "127.0.0.21", 0, 0));
    QTRY_VERIFY(getStarted.load());
    c.frame.reset();
    QVERIFY(getFinished.load());
}

void ConsoleTest::theDiscoverMonitorRunsAndStops() {
    DiscoveringConsole c;
    // Without a staging server Discover is not offered.
    c.t.Doc().WriteINIValueStr("Misc", "FTPServerName", "");
    QVERIFY(!c.Command(cmd::kDiscover)->isEnabled());
    c.t.Doc().WriteINIValueStr("Misc", "FTPServerName", "127.0.0.1");
    QSignalSpy refreshed(&c.view, &CTarnView::refreshFinished);
    c.StartRun();
    QCOMPARE(c.Log(), QStringList({"", "EARLY", "First desk", "10.3.1.2", kSeparator}));
    QCOMPARE(Child<QListWidget>(c.Monitor().Window(), "logList")->selectedItems().size(), 0);
    QCOMPARE(c.Monitor().ProgressBar()->maximum(), 39);
    // Save Log As asks for the file once the command has returned, from the view.
    const QString saved = QString::fromStdString(c.t.Dir().File("discover.log"));
    AnsweringSavePicker picker(saved);
    c.view.SetFileSavePicker(picker);
    const QStringList logged = c.Log();
    Child<QAction>(c.Monitor().Window(), "saveLogAsAction")->trigger();
    QTRY_VERIFY(QFileInfo::exists(saved));
    QCOMPARE(QString::fromStdString(ReadTextFile(saved.toStdString())), logged.join('\n') + '\n');
    // While the run goes on, the commands that could interfere are disabled.
    QVERIFY(!c.Command(cmd::kDiscover)->isEnabled() && !c.Command(cmd::kSetup)->isEnabled());
    QVERIFY(!Enabled(c, "refreshButton") && !Enabled(c, "clearAllButton"));
    // The end: the view destroys the window, keeps a fresh object and refreshes.
    QVERIFY(refreshed.wait(10000));
    QVERIFY(!c.view.DiscoverMonitorHasWindow() && c.view.DiscoverMonitor());
    QCOMPARE(c.Names(), QStringList({"EARLY", "LATE"}));
    QVERIFY(c.Command(cmd::kDiscover)->isEnabled() && Enabled(c, "refreshButton"));

    // Twice the close box, then Escape: the window stays; the run stops once,
    // and a request left over from it does not reach the next run.
    int late = c.NameRequests("10.3.1.39");
    c.StartRun();
    QDialog* window = c.Monitor().Window();
    refreshed.clear();
    QVERIFY(!window->close());
    QVERIFY(!window->close());
    QTest::keyClick(window, Qt::Key_Escape);
    QVERIFY(window->isVisible());
    QVERIFY(refreshed.wait(10000));
    QCOMPARE(c.Names(), QStringList({"EARLY"}));
    QCOMPARE(c.NameRequests("10.3.1.39"), late);
    QTest::qWait(300);
    QCOMPARE(refreshed.count(), 1);
    c.StartRun();
    QVERIFY(refreshed.wait(10000));
    QCOMPARE(c.Names(), QStringList({"EARLY", "LATE"}));

    // A window destroyed under the run: the addresses left are passed over
    // without a probe, and no stop is asked.
    late = c.NameRequests("10.3.1.39");
    c.StartRun();
    QCOMPARE(c.Monitor().DestroyWindow(), kDiscoveryEnded);
    QVERIFY(refreshed.wait(10000));
    QCOMPARE(c.Names(), QStringList({"EARLY"}));
    QCOMPARE(c.NameRequests("10.3.1.39"), late);

    // Every probe now takes 10 s unless the run is stopped: the stop does not wait.
    c.t.Terminals().Clear();
    c.snmp.delay = std::chrono::seconds(10);
    int asked = c.NameRequests("10.3.1.1");
    c.Command(cmd::kDiscover)->trigger();
    QTRY_VERIFY(c.NameRequests("10.3.1.1") == asked + 1);
    QElapsedTimer stopping;
    stopping.start();
    c.Monitor().Window()->close();
    QTRY_VERIFY_WITH_TIMEOUT(!c.view.DiscoverMonitorHasWindow(), 5000);
    QVERIFY2(stopping.elapsed() < 1000, qPrintable(QString::number(stopping.elapsed())));
}

QTEST_MAIN(ConsoleTest)
void ConsoleTest::exportWritesWhatTheCommandLineLists() {
    if (!QFileInfo::exists(QString::fromStdString(SimFleetProgram()))) {
        QSKIP_FOR_MISSING_PEER("the simulated fleet is not built");
    }
    // A location that needs quoting, and a terminal of the older model.
    SimFleetProcess fleet(
        {"[ALPHA]\nAddress=127.0.75.2\nLocation=Hall \"B\", row 2\n"
         "[OLD]\nAddress=127.0.75.3\nModel=older\n"});
    QVERIFY2(fleet.Ready(), fleet.Log().c_str());
    TestDocument t(DefaultSettingsWith("", {.snmp = fleet.SnmpPort(), .trap = FreeUdpPort()}));
    QVERIFY(t.Doc().RegisterTerminal("127.0.75.2") && t.Doc().RegisterTerminal("127.0.75.3"));
    CMainFrame frame(t.Doc());
    frame.show();
    CTarnView& view = *frame.View();
    QTRY_VERIFY(!view.IsRefreshing() &&
                Texts(Child<QTreeWidget>(&view, "terminalList")).size() == 2);
    const QString file = QString::fromStdString(t.Dir().File("terminals.csv"));
    AnsweringSavePicker picker(file);
    view.SetFileSavePicker(picker);
    Child<QAction>(&frame, "actionExportTerminalList")->trigger();

    CliRun cli = RunCliCaptured(
        {"--settings", t.SettingsPath(), "list", "--csv", "127.0.75.2", "127.0.75.3"});
    QCOMPARE(cli.code, 0);
    QVERIFY2(cli.out.find("\"Hall \"\"B\"\", row 2\"") != std::string::npos, cli.out.c_str());
    QCOMPARE(ReadTextFile(file.toStdString()), cli.out);
    t.Terminals().Clear();
}

#include "ConsoleTest.moc"
