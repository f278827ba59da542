#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <chrono>

#include "GuiTestSupport.h"
#include "RecordingMessages.h"
#include "TrapSender.h"
#include "core/terminals/TerminalDatabase.h"
#include "gui/app/CAboutDlg.h"
#include "gui/app/ConsoleOptions.h"
#include "gui/common/TerminalInfoPopup.h"
#include "gui/discovery/CDiscoverMonitorDlg.h"
#include "gui/transfer/CProgressNoticeDlg.h"
#include "gui/traps/CTrapMonitorDlg.h"

namespace {

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

// The value the data list shows under a label.
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

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void menusStatusBarAndTheHelpMenuOnceShown();
    void aboutTextWithAndWithoutTemplate();
    void anEmptySettingsNameIsRefused();
    void closingEndsEveryWindowWithoutWaitingForRequests();
    void buttonsFollowTheListAndClearAllEmptiesEverything();
    void listsTerminalsAndShowsTheSelectedOnesData();
    void selectionFallsBackToTheFirstRowWhenRowsVanish();
    void trapPromptOnlyWithTerminals();
    void popupHitTestOnAListBox();
    void progressNoticePaintsTheLatestLinesAtOnce();
};

void MainWindowTest::menusStatusBarAndTheHelpMenuOnceShown() {
    ShownConsole c("", false);
    CMainFrame& frame = *c.frame;
    QCOMPARE(frame.windowTitle(), QString("Fleetwarden"));
    QCOMPARE(MenuTexts(TopMenu(frame, "&File")), QStringList({"E&xit"}));
    QMenu* utilities = TopMenu(frame, "&Utilities");
    QCOMPARE(MenuTexts(utilities),
             QStringList({"&Setup", "-", "&Discover", "-", "&Configure Terminal Info", "-",
                          "&Upload / Download"}));
    QCOMPARE(
        MenuTexts(utilities->actions().last()->menu()),
        QStringList({"&Upload Configuration", "Download &Configuration", "Download &Firmware"}));
    QCOMPARE(MenuTexts(TopMenu(frame, "&View")), QStringList({"&Status Bar"}));
    QCOMPARE(frame.MessageText(), QString("Ready"));
    QVERIFY(!TopMenu(frame, "&Help"));

    c.Show();
    TopMenu(frame, "&View")->actions().first()->trigger();
    QVERIFY(!frame.statusBar()->isVisible());
    TopMenu(frame, "&View")->actions().first()->trigger();
    QVERIFY(frame.statusBar()->isVisible());
    QCOMPARE(MenuTexts(TopMenu(frame, "&Help")),
             QStringList({"&Help Topics", "&About Manager..."}));
    // Showing the window again adds nothing.
    frame.hide();
    frame.show();
    QCOMPARE(MenuTexts(frame.menuBar()).count("&Help"), 1);
    QVERIFY(c.t.Messages().Texts().empty());
}

void MainWindowTest::aboutTextWithAndWithoutTemplate() {
    TestDocument t("[Misc]\n");
    QCOMPARE(CAboutDlg(t.Doc()).VersionText(), QString("1.0.2.1          VTPL"));
    WriteTextFile(t.Doc().GetTemplatePath(), "[Template-Version]\n\"Version\"=2.0\n");
    QCOMPARE(CAboutDlg(t.Doc()).VersionText(), QString("1.0.2.1          V2.0TPL"));
}

void MainWindowTest::anEmptySettingsNameIsRefused() {
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

void MainWindowTest::closingEndsEveryWindowWithoutWaitingForRequests() {
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
            QVERIFY(TrapSender(c.trapPort).SendV1("10.9.2.1", 6, 5));
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

void MainWindowTest::buttonsFollowTheListAndClearAllEmptiesEverything() {
    ShownConsole c("", false);
    QCOMPARE(Child<QLabel>(&c.view, "banner")->text(),
             QString("***** BETA - Test and Evaluation *****"));
    c.Show();
    QCOMPARE(c.view.Banner(), QString());
    QVERIFY(c.Refresh());
    QVERIFY(c.Names().isEmpty());
    QVERIFY(!Child(&c.view, "refreshButton")->isEnabled());
    QVERIFY(!Child(&c.view, "clearAllButton")->isEnabled());

    c.Add({.ip = "127.0.0.21", .name = "ALPHA"});
    QVERIFY(c.Refresh());
    QVERIFY(Child(&c.view, "clearAllButton")->isEnabled());
    QSignalSpy done(&c.view, &CTarnView::refreshFinished);
    Click(&c.view, "clearAllButton");
    QVERIFY(done.wait(10000));
    QVERIFY(c.t.Terminals().Empty());
    QVERIFY(c.Names().isEmpty());
    QCOMPARE(Child<QTreeWidget>(&c.view, "dataList")->topLevelItemCount(), 0);
    QVERIFY(!Child(&c.view, "refreshButton")->isEnabled());
}

void MainWindowTest::listsTerminalsAndShowsTheSelectedOnesData() {
    ShownConsole c;
    c.Add({.ip = "127.0.0.21", .name = "SAME", .location = "North", .mac = "0080641200AA"});
    c.Add({.ip = "127.0.0.22", .name = "SAME", .location = "South", .mac = "0080641200BB"});
    // The list shows the database only as of the last refresh.
    QVERIFY(c.Names().isEmpty());
    QVERIFY(c.Refresh());
    QCOMPARE(c.Names(), QStringList({"SAME", "SAME"}));
    QCOMPARE(SelectedRow(c), 0);
    QCOMPARE(Data(c, "Location") + "|" + Data(c, "Build #") + "|" + Data(c, "MAC Address"),
             QString("North|4711|0080641200AA"));
    QVERIFY(Child(&c.view, "refreshButton")->isEnabled());

    c.List()->setCurrentItem(c.List()->topLevelItem(1));
    QCOMPARE(Data(c, "Location"), QString("South"));
    QCOMPARE(QString::fromStdString(c.view.SelectedIP()), QString("127.0.0.22"));
}

void MainWindowTest::selectionFallsBackToTheFirstRowWhenRowsVanish() {
    ShownConsole c;
    for (int i = 1; i <= 4; ++i) {
        c.Add({.ip = "127.0.0.2" + std::to_string(i),
               .name = "T" + std::to_string(i),
               .mac = "00806412000" + std::to_string(i)});
    }
    QVERIFY(c.Refresh());
    c.List()->setCurrentItem(c.List()->topLevelItem(2));
    // Keeping the row when it is still there.
    QVERIFY(c.Refresh());
    QCOMPARE(SelectedRow(c), 2);
    c.snmp.silentAgents = {"127.0.0.21", "127.0.0.23"};
    QVERIFY(c.Refresh());
    QCOMPARE(c.Names(), QStringList({"T2", "T4"}));
    QCOMPARE(SelectedRow(c), 0);
    QCOMPARE(Data(c, "IP Address"), QString("127.0.0.22"));
}

void MainWindowTest::trapPromptOnlyWithTerminals() {
    ShownConsole c;
    c.view.OnTrapNewUnits();
    QCOMPARE(c.view.Banner(), QString());
    QVERIFY(!Child(&c.view, "refreshButton")->isEnabled());
    c.Add({.ip = "127.0.0.21", .name = "ALPHA"});
    c.view.OnTrapNewUnits();
    const QString prompt("New Unit(s) Added To Database Through Trap(s), Press Refresh");
    QCOMPARE(c.view.Banner(), prompt);
    QCOMPARE(c.frame->MessageText(), prompt);
    QVERIFY(Child(&c.view, "refreshButton")->isEnabled());
    QVERIFY(!Child(&c.view, "clearAllButton")->isEnabled());

    // During a refresh the prompt is not shown: the refresh lists the new unit anyway.
    c.snmp.delay = std::chrono::milliseconds(20);
    QSignalSpy done(&c.view, &CTarnView::refreshFinished);
    c.view.RefreshAndValidateAll();
    c.view.OnTrapNewUnits();
    QVERIFY(!Child(&c.view, "refreshButton")->isEnabled());
    QVERIFY(done.wait(10000));
    QCOMPARE(c.view.Banner(), QString());
    QCOMPARE(c.Names(), QStringList({"ALPHA"}));
}

void MainWindowTest::popupHitTestOnAListBox() {
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

void MainWindowTest::progressNoticePaintsTheLatestLinesAtOnce() {
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

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
