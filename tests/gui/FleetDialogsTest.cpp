#include <sys/stat.h>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>
#include <filesystem>

#include "FleetSite.h"
#include "GuiTestSupport.h"
#include "MissingPeer.h"
#include "core/terminals/TerminalDatabase.h"
#include "gui/download/CDownloadConfigDlg.h"
#include "gui/setup/CSecurityInfoDlg.h"
#include "gui/transfer/CSubmitXferDlg.h"
#include "gui/transfer/CUploadConfigDlg.h"
#include "gui/traps/CTrapMonitorDlg.h"

namespace {

// Registered in this order, so these are their rows in every terminal list.
const std::string kDesk = "127.0.73.2";
const std::string kQuiet = "127.0.73.3";   // sends no outcome trap
const std::string kBare = "127.0.73.4";    // has no file of the configuration's name
const std::string kLocked = "127.0.73.5";  // refuses its trap destination
const std::vector<std::string> kRows = {kDesk, kQuiet, kBare, kLocked};
int RowOf(const std::string& ip) {
    return static_cast<int>(std::find(kRows.begin(), kRows.end(), ip) - kRows.begin());
}

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// The console on a simulated fleet and an FTP staging server, its traps heard
// by its own Trap Monitor.
struct FleetConsole {
    FleetSite site;
    unsigned trapPort = FreeUdpPort();
    std::unique_ptr<TestDocument> t;
    std::unique_ptr<CMainFrame> frame;
    AnsweringPicker picker;

    bool Start() {
        if (!site.Start("[DESK]\nAddress=" + kDesk + "\n[QUIET]\nAddress=" + kQuiet +
                            "\nNoOutcomeTrap=yes\n[BARE]\nAddress=" + kBare +
                            "\nConfigFileName=other.reg\n[LOCKED]\nAddress=" + kLocked +
                            "\nRefuseSetsOf=EntOidTrapServer5\n",
                        trapPort, "DnloadPath=" + site.dir.File("configs") + "\n") ||
            !site.Ready()) {
            return false;
        }
        t = std::make_unique<TestDocument>(site.Settings());
        InstallShippedTemplate(t->SettingsPath());
        for (const auto& ip : kRows) {
            t->Doc().RegisterTerminal(ip);
        }
        frame = std::make_unique<CMainFrame>(t->Doc());
        View().SetFolderPicker(picker);
        QSignalSpy refreshed(&View(), &CTarnView::refreshFinished);
        frame->show();
        return refreshed.wait(20000) && View().TrapMonitor() &&
               QTest::qWaitFor([&] { return View().TrapMonitor()->LineCounter() == 1; });
    }
    CTarnView& View() { return *frame->View(); }
};

#define START_CONSOLE(c)                                                                           \
    FleetConsole c;                                                                                \
    if (!c.Start()) {                                                                              \
        QSKIP_FOR_MISSING_PEER("pyftpdlib or the simulated fleet did not start: " + c.site.Why()); \
    }

}  // namespace

class FleetDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void theTransferCommandsOpenTheirDialogsTheNoticeFirst();
    void uploadClosesOnceTheTerminalAnsweredAndStaysOpenOtherwise();
    void submittedRequestIsCarriedOutAndTheDialogStays();
    void downloadOpensWithTheStoredChoicesAndBrowseChangesOnlyThePath();
};

void FleetDialogsTest::theTransferCommandsOpenTheirDialogsTheNoticeFirst() {
    START_CONSOLE(c);
    emit c.frame->updateCommandUi();
    QAction* upload = c.frame->CommandAction(cmd::kUploadConfiguration);
    QAction* submit = c.frame->CommandAction(cmd::kSubmitTransfer);
    QVERIFY(upload->isEnabled() && submit->isEnabled());
    auto* list = Child<QTreeWidget>(&c.View(), "terminalList");
    list->setCurrentItem(list->topLevelItem(RowOf(kBare)));

    QStringList seen;
    WhenModal<CSecurityInfoDlg>([&](CSecurityInfoDlg& notice) {
        seen << notice.windowTitle();
        notice.accept();
        WhenModal<CUploadConfigDlg>([&](CUploadConfigDlg& dialog) {
            auto* terminals = Child<QListWidget>(&dialog, "terminalList");
            seen << dialog.windowTitle() << Texts(terminals)
                 << QString::number(terminals->currentRow())
                 << Child<QLineEdit>(&dialog, "pathEdit")->text();
            c.picker.answer = "/srv/picked";
            Click(&dialog, "browseButton");
            seen << c.picker.asked << Child<QLineEdit>(&dialog, "pathEdit")->text();
            dialog.reject();
        });
    });
    upload->trigger();
    const QString configs = QString::fromStdString(c.site.dir.File("configs"));
    QCOMPARE(seen, QStringList({"Security Information", "Upload Configuration", "DESK", "QUIET",
                                "BARE", "LOCKED", QString::number(RowOf(kBare)), configs, configs,
                                "/srv/picked"}));
    QVERIFY(c.t->Messages().Texts().empty());

    QString target, trapId;
    WhenModal<CSubmitXferDlg>([&](CSubmitXferDlg& dialog) {
        target = Child<QLineEdit>(&dialog, "targetEdit")->text();
        trapId = Child<QLineEdit>(&dialog, "trapIdEdit")->text();
        dialog.accept();
    });
    submit->trigger();
    QCOMPARE(target + " " + trapId,
             QString::fromStdString(kBare + " " + kBare.substr(kBare.size() - 10)));
    // Before any terminal was selected there is no one to send to.
    CSubmitXferDlg none(c.t->Doc(), "", nullptr);
    QVERIFY(!Child(&none, "submitButton")->isEnabled());
}

void FleetDialogsTest::uploadClosesOnceTheTerminalAnsweredAndStaysOpenOtherwise() {
    START_CONSOLE(c);
    struct Case {
        std::string ip;
        bool stagingDown;  // the terminal sends the file; the console cannot fetch it
        bool closes;
        std::string message;
        QString monitorLine;  // what the Trap Monitor shows of the terminal's trap
    };
    const std::string path = c.site.dir.File("uploads");
    const Case cases[] = {
        {kQuiet, false, false, "Configuration Upload Failure, No Trap Received Before Timeout", ""},
        {kBare, false, true, "Configuration Upload Failure, Check Trap Monitor For Reason",
         "Source File Not Found"},
        {kDesk, false, true, "Configuration Upload Complete To Directory: \n\n" + path,
         "SNMP Initiated Up/Download Request Done"},
        {kDesk, true, true, "The attempt to connect to the server failed.", ""},
    };
    for (const auto& k : cases) {
        c.t->Messages().Clear();
        if (k.stagingDown) {
            c.t->Doc().WriteINIValueStr("Misc", "FTPServerPort", std::to_string(FreeTcpPort()));
        }
        CUploadConfigDlg dialog(c.t->Doc(), c.View().MacByItem(), -1, c.picker, c.frame.get());
        dialog.SetTrapTimeout(std::chrono::milliseconds(1500));
        dialog.show();
        auto* terminals = Child<QListWidget>(&dialog, "terminalList");
        auto* pathEdit = Child<QLineEdit>(&dialog, "pathEdit");
        QCOMPARE(terminals->selectedItems().size(), 0);
        terminals->setCurrentRow(RowOf(k.ip));
        pathEdit->setText(QString::fromStdString(path + "/"));
        QSignalSpy ended(&dialog, &CUploadConfigDlg::uploadEnded);
        Click(&dialog, "okButton");
        QVERIFY(dialog.IsUploading());
        QVERIFY(ended.wait(20000));
        QCOMPARE(c.t->Messages().Texts(), std::vector<std::string>{k.message});
        QCOMPARE(dialog.isVisible(), !k.closes);
        // Left open, the dialog keeps what the user typed and chose.
        QCOMPARE(pathEdit->text(), QString::fromStdString(path + "/"));
        QCOMPARE(terminals->currentRow(), RowOf(k.ip));
        if (!k.monitorLine.isEmpty()) {
            CTrapMonitorDlg& monitor = *c.View().TrapMonitor();
            QTRY_VERIFY(monitor.Line(monitor.LineCounter() - 1) == k.monitorLine);
        }
    }
    // The file of the one success, byte for byte; configurations may hold secrets.
    QCOMPARE(ReadTextFile(path + "/terminal.reg"), c.site.StoredOn(kDesk));
    QCOMPARE(ModeOf(path), 0700u);
    QCOMPARE(ModeOf(path + "/terminal.reg"), 0600u);
    QCOMPARE(c.t->Doc().GetINIValueStr("Misc", "DnloadPath", IfMissing::Silent), path);
}

void FleetDialogsTest::submittedRequestIsCarriedOutAndTheDialogStays() {
    START_CONSOLE(c);
    const std::string registry =
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n\"A\"=\"1\"\r\n";
    WriteTextFile(c.site.ftp.Root() + "/new.reg", registry);
    CSubmitXferDlg dialog(c.t->Doc(), kDesk, c.frame.get());
    dialog.show();
    QVERIFY(Child<QRadioButton>(&dialog, "downloadRadio")->isChecked() &&
            Child<QRadioButton>(&dialog, "binaryRadio")->isChecked());
    QSignalSpy ended(&dialog, &CSubmitXferDlg::submitEnded);

    // A field left empty sends nothing.
    Child<QLineEdit>(&dialog, "sourceEdit")->setText("/new.reg");
    Child<QLineEdit>(&dialog, "destEdit")->setText("terminal.reg");
    Click(&dialog, "submitButton");
    QVERIFY(ended.wait(10000));
    QCOMPARE(c.t->Messages().Texts(), std::vector<std::string>{"Fill in all fields!"});

    c.t->Messages().Clear();
    Child<QLineEdit>(&dialog, "serverEdit")->setText("127.0.0.1");
    Child<QRadioButton>(&dialog, "asciiRadio")->setChecked(true);
    Click(&dialog, "submitButton");
    QVERIFY(ended.wait(10000));
    QCOMPARE(dialog.LastResult(), std::string("NoneNoneNone"));
    QVERIFY(c.t->Messages().Texts().empty());
    QVERIFY(dialog.isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(c.site.StoredOn(kDesk), registry, 10000);
}

void FleetDialogsTest::downloadOpensWithTheStoredChoicesAndBrowseChangesOnlyThePath() {
    auto shown = [](const std::string& misc, bool terminals) {
        auto t = std::make_unique<TestDocument>(DefaultSettingsWith(misc) +
                                                "[CurrentExclusions]\nsession server=\n");
        InstallShippedTemplate(t->SettingsPath());
        t->Doc().WriteINIValueStr("AvailableExclusions", "Kiosk", "multi_sz:\"K\",\"*\"");
        if (terminals) {
            t->Terminals().Append({.m_ip = "10.0.0.7", .m_name = "LOBBY", .m_macAdr = "02A"});
            t->Terminals().Append({.m_ip = "10.0.0.8", .m_name = "DESK", .m_macAdr = "02B"});
        }
        return t;
    };
    MacByItemTable macByItem;
    AnsweringPicker picker;
    {
        auto t = shown("CfgReboot=Yes\n", false);
        CDownloadConfigDlg empty(t->Doc(), macByItem, picker);
        empty.show();
        QVERIFY(Child<QAbstractButton>(&empty, "rebootCheck")->isChecked());
        QVERIFY(!Child(&empty, "okButton")->isEnabled());
    }
    auto t = shown("", true);
    macByItem.Assign({"02A", "02B"});
    std::string before = ReadTextFile(t->SettingsPath());
    CDownloadConfigDlg dialog(t->Doc(), macByItem, picker);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* targets = Child<QListWidget>(&dialog, "targetList");
    auto* exclusions = Child<QListWidget>(&dialog, "exclusionList");
    auto* reboot = Child<QAbstractButton>(&dialog, "rebootCheck");
    auto* path = Child<QLineEdit>(&dialog, "pathEdit");
    QCOMPARE(Texts(targets), QStringList({"LOBBY", "DESK"}));
    QCOMPARE(Texts(exclusions), QStringList({"Display", "Network Addressing", "Passwords",
                                             "Session Server", "Kiosk"}));
    QCOMPARE(dialog.TemplateCount(), std::size_t(4));
    QCOMPARE(Texts(exclusions, true), QStringList({"Session Server"}));
    QVERIFY(!reboot->isChecked());
    QCOMPARE(path->maxLength(), 159);

    reboot->setChecked(true);  // not saved yet
    picker.answer = "/srv/configs";
    Click(&dialog, "browseButton");
    QCOMPARE(path->text(), QString("/srv/configs"));
    QVERIFY(reboot->isChecked());
    picker.answer.clear();  // cancelled
    Click(&dialog, "browseButton");
    QCOMPARE(picker.asked + " " + path->text(), QString("/srv/configs /srv/configs"));

    // The identity pop-up of the row under a right click.
    QPoint onDesk = targets->visualItemRect(targets->item(1)).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, onDesk,
                            targets->viewport()->mapToGlobal(onDesk));
    QApplication::sendEvent(targets->viewport(), &click);
    QCOMPARE(t->Messages().Texts().size(), std::size_t(1));
    QVERIFY(t->Messages().Texts()[0].find("10.0.0.8") != std::string::npos);

    // A refusal (no terminal selected) keeps the dialog; Cancel then writes nothing.
    Click(&dialog, "okButton");
    QTRY_VERIFY(QApplication::overrideCursor() == nullptr);  // the run's worker has ended
    QCOMPARE(t->Messages().Texts().size(), std::size_t(2));
    QVERIFY(dialog.isVisible());
    Click(&dialog, "cancelButton");
    QVERIFY(!dialog.isVisible());
    QCOMPARE(ReadTextFile(t->SettingsPath()), before);
}

QTEST_MAIN(FleetDialogsTest)
#include "FleetDialogsTest.moc"
