#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QtTest>
#include <chrono>

#include "FakeTerminals.h"
#include "NetworkTestSupport.h"
#include "RecordingMessages.h"
#include "TestDocument.h"
#include "TrapSender.h"
#include "core/settings/SettingsPath.h"
#include "gui/app/CAboutDlg.h"
#include "gui/app/CHelpDlg.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CTarnView.h"
#include "gui/app/ConsoleOptions.h"
#include "gui/discovery/CDiscoverMonitorDlg.h"
#include "gui/traps/CTrapMonitorDlg.h"
#include "ui_CTarnView.h"

namespace {
// The Trap Monitor listens while the main window shows: on a free port, not 162.
// The view loads the communities and the discovery settings when it is built.
std::string TestSettings() {
    return "[Misc]\nGetCommunity=public\nSetCommunity=private\nDiscoverIPSubNet=\n"
           "DiscoverMethod=SNMP\nTrapPort=" +
           std::to_string(FreeUdpPort()) + "\n";
}

QStringList MenuTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* action : menu->actions()) {
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
}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT
private slots:
    void menusCarryEveryCommand();
    void statusBarHasMessagePaneAndThreeIndicators();
    void helpMenuAppearsOnlyOnceTheViewIsShown();
    void viewStartsWithEmptyListsAndDisabledButtons();
    void aboutTextWithAndWithoutTemplate();
    void anEmptySettingsNameIsRefused();
    void closingEndsEveryWindowWithoutWaitingForRequests();
};

void MainFrameTest::menusCarryEveryCommand() {
    TestDocument t(TestSettings());
    CMainFrame frame(t.Doc());
    QCOMPARE(frame.windowTitle(), QString("Fleetwarden"));
    QCOMPARE(MenuTexts(TopMenu(frame, "&File")), QStringList({"E&xit"}));
    QCOMPARE(MenuTexts(TopMenu(frame, "&Utilities")),
             QStringList({"&Setup", "-", "&Discover", "-", "&Configure Terminal Info", "-",
                          "&Upload / Download"}));
    QMenu* utilities = TopMenu(frame, "&Utilities");
    QCOMPARE(
        MenuTexts(utilities->actions().last()->menu()),
        QStringList({"&Upload Configuration", "Download &Configuration", "Download &Firmware"}));
    QCOMPARE(MenuTexts(TopMenu(frame, "&View")), QStringList({"&Status Bar"}));

    const std::pair<int, const char*> prompts[] = {
        {32771, "Modeless Dialog to Monitor Traps"},
        {32774, "Set Application Configuration Options"},
        {32775, "Modeless Dialog to Discover Network Units"},
        {32776, "Upload And Store Configuration From a Terminal"},
        {32777, "Download Stored Configuration To Terminal(s)"},
        {32779, "Download / Upgrade Terminal(s) With User Selected Firmware"},
        {57665, "Quit the application"},
        {59393, "Show or hide the status bar"}};
    for (const auto& [id, prompt] : prompts) {
        QAction* action = frame.CommandAction(id);
        QVERIFY2(action, qPrintable(QString::number(id)));
        QCOMPARE(action->statusTip(), QString(prompt));
    }
    QCOMPARE(frame.CommandAction(57665)->toolTip(), QString("Exit"));
    QVERIFY(frame.CommandAction(32778));
    QVERIFY(t.Messages().Texts().empty());
}

void MainFrameTest::statusBarHasMessagePaneAndThreeIndicators() {
    TestDocument t(TestSettings());
    CMainFrame frame(t.Doc());
    QCOMPARE(frame.MessageText(), QString("Ready"));
    for (int i = 0; i < 3; ++i) {
        QVERIFY(frame.IndicatorPane(i));
    }
    QCOMPARE(frame.IndicatorPane(2)->objectName(), QString("indicatorSCRL"));
    frame.show();
    frame.CommandAction(59393)->trigger();
    QVERIFY(!frame.statusBar()->isVisible());
    frame.CommandAction(59393)->trigger();
    QVERIFY(frame.statusBar()->isVisible());
}

void MainFrameTest::helpMenuAppearsOnlyOnceTheViewIsShown() {
    TestDocument t(TestSettings());
    CMainFrame frame(t.Doc());
    QVERIFY(!TopMenu(frame, "&Help"));
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QMenu* help = TopMenu(frame, "&Help");
    QVERIFY(help);
    QCOMPARE(MenuTexts(help), QStringList({"&Help Topics", "&About Manager..."}));
    QCOMPARE(frame.CommandAction(57664)->text(), QString("&About Manager..."));
    // Showing the window again adds nothing.
    frame.hide();
    frame.show();
    int helpMenus = 0;
    for (QAction* action : frame.menuBar()->actions()) {
        helpMenus += action->text() == "&Help" ? 1 : 0;
    }
    QCOMPARE(helpMenus, 1);
    // Help Topics shows the guide found beside the program, in one window.
    frame.CommandAction(57670)->trigger();
    frame.CommandAction(57670)->trigger();
    const QList<CHelpDlg*> windows = frame.findChildren<CHelpDlg*>();
    QCOMPARE(windows.size(), 1);
    QVERIFY(windows[0]->isVisible());
    QString guide = QString::fromStdString(ReadTextFile(ProgramDirectory() + "/user-guide.md"));
    QVERIFY(guide.startsWith("# "));
    QVERIFY(windows[0]->GuideText().startsWith(guide.section('\n', 0, 0).mid(2) + "\n"));
    QVERIFY(t.Messages().Texts().empty());
}

void MainFrameTest::viewStartsWithEmptyListsAndDisabledButtons() {
    TestDocument t(TestSettings());
    CMainFrame frame(t.Doc());
    Ui::CTarnView& ui = frame.View()->Controls();
    QCOMPARE(ui.banner->text(), QString("***** BETA - Test and Evaluation *****"));
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QCOMPARE(ui.banner->text(), QString());
    QCOMPARE(ui.terminalList->headerItem()->text(0), QString("Terminals"));
    QCOMPARE(ui.dataList->headerItem()->text(0), QString("Data"));
    QCOMPARE(ui.dataList->headerItem()->text(1), QString("Value"));
    QCOMPARE(ui.terminalList->columnWidth(0), 200);
    QCOMPARE(ui.dataList->columnWidth(1), 400);
    QVERIFY(!ui.refreshButton->isEnabled());
    QVERIFY(!ui.clearAllButton->isEnabled());
    QCOMPARE(ui.refreshButton->text(), QString("&Refresh"));
    QCOMPARE(ui.clearAllButton->text(), QString("&Clear All"));
}

void MainFrameTest::aboutTextWithAndWithoutTemplate() {
    TestDocument t("[Misc]\n");
    {
        CAboutDlg about(t.Doc());
        QCOMPARE(about.VersionText(), QString("1.0.2.1          VTPL"));
        QCOMPARE(about.windowTitle(), QString("About"));
    }
    WriteTextFile(t.Doc().GetTemplatePath(), "[Template-Version]\n\"Version\"=2.0\n");
    CAboutDlg about(t.Doc());
    QCOMPARE(about.VersionText(), QString("1.0.2.1          V2.0TPL"));
}

void MainFrameTest::anEmptySettingsNameIsRefused() {
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

void MainFrameTest::closingEndsEveryWindowWithoutWaitingForRequests() {
    using std::chrono::steady_clock;
    // Every request, of the refresh, of the scan or for a trap's sender, takes
    // 10 s unless its worker is stopped.
    for (const char* during : {"a refresh", "a discovery", "a trap's name request"}) {
        FakeSnmpManager snmp;
        unsigned trapPort = FreeUdpPort();
        TestDocument t(DefaultSettingsWith("TrapPort=" + std::to_string(trapPort) +
                                           "\nFTPServerName=127.0.0.1\nDiscoverIPSubNet=10.9.1\n"
                                           "DiscoverRangeLow=1\nDiscoverRangeHigh=20\n"),
                       &snmp);
        AddFakeTerminal(snmp, {.ip = "10.9.2.1", .name = "SLOW"});
        QVERIFY(t.Doc().RegisterTerminal("10.9.2.1"));
        auto frame = std::make_unique<CMainFrame>(t.Doc());
        CTarnView& view = *frame->View();
        QSignalSpy refreshed(&view, &CTarnView::refreshFinished);
        frame->show();
        QVERIFY(refreshed.wait(10000));
        QTRY_COMPARE(view.TrapMonitor()->LineCounter(), 1);
        snmp.delay = std::chrono::seconds(10);
        std::size_t asked = snmp.Requests().size();
        if (during == std::string("a refresh")) {
            view.RefreshAndValidateAll();
        } else if (during == std::string("a discovery")) {
            view.OnDiscover();
        } else {
            QVERIFY(TrapSender(trapPort).SendV1("10.9.2.1", 6, 5));
        }
        QTRY_VERIFY(snmp.Requests().size() > asked);
        QVERIFY(view.TrapMonitor()->isVisible());

        auto started = steady_clock::now();
        frame->close();
        QTRY_VERIFY_WITH_TIMEOUT(!frame->isVisible(), 3000);
        QVERIFY(!view.TrapMonitor()->isVisible());
        QVERIFY(!view.DiscoverMonitor()->Window() ||
                !view.DiscoverMonitor()->Window()->isVisible());
        frame.reset();
        QVERIFY2(steady_clock::now() - started < std::chrono::seconds(3), during);
    }
}

QTEST_MAIN(MainFrameTest)
#include "MainFrameTest.moc"
