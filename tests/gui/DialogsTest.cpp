#include <sys/stat.h>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "FleetSite.h"
#include "GuiTestSupport.h"
#include "MissingPeer.h"
#include "SnmpdAgent.h"
#include "core/common/Sentinel.h"
#include "core/common/StringTable.h"
#include "core/setup/PasswordScrambling.h"
#include "core/setup/SecurityNotice.h"
#include "core/terminals/TerminalDatabase.h"
#include "gui/common/DialogWorker.h"
#include "gui/common/GuiUserMessages.h"
#include "gui/download/CDownloadConfigDlg.h"
#include "gui/firmware/CDownloadFirmwareDlg.h"
#include "gui/setup/CSecurityInfoDlg.h"
#include "gui/setup/CSetupDlg.h"
#include "gui/terminfo/CTerminalInfoDlg.h"
#include "gui/transfer/CProgressNoticeDlg.h"
#include "gui/transfer/CSubmitXferDlg.h"
#include "gui/transfer/CUploadConfigDlg.h"
#include "gui/traps/CTrapMonitorDlg.h"

namespace {

const std::string kStored =
    "[Misc]\nGetCommunity=public\nSetCommunity=private\nDiscoverIPSubNet=10.1.2\n"
    "DiscoverMethod=SNMP\nDiscoverRangeLow=1\nDiscoverRangeHigh=254\nFTPServerName=127.0.0.1\n"
    "FTPServerPath=/cfg\nFTPLogin=admin\nFTPPassword=00045796a397\nLocalHostIP=10.1.2.40\n";

QLineEdit* Edit(QWidget& dialog, const char* name) {
    return Child<QLineEdit>(&dialog, name);
}

// A shown Setup dialog over the test's settings.
struct ShownSetup {
    TestDocument t;
    CSetupDlg dialog{t.Doc()};
    explicit ShownSetup(const std::string& settings) : t(settings) {
        dialog.show();
        if (!QTest::qWaitForWindowExposed(&dialog)) {
            qWarning("Setup not exposed");
        }
    }
    QString Text(const char* name) { return Edit(dialog, name)->text(); }
};

// Lets the test hold the worker at one point until it releases it.
class Gate {
public:
    void Open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    void Wait() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

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
                            "\nRefuseSetsOf=EntOidTrapServer5,EntOidTrapServer4\n",
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

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void setupShowsTheStoredFieldsAndRefusesAsTheChecksSay();
    void setupOkWritesScrambledAndTheNextGetUsesTheNewCommunity();
    void securityNoticeOkSavesTheChoiceAndEscapeNothing();
    void dialogWorkerNoticeFollowsTheStepsWhileInputIsDiscarded();
    void destroyingTheDialogStopsTheWorker();
    void terminalInfoEditsTheTerminalOfTheSelectedRow();
    void theTransferDialogsOnTheFleet();
    void downloadOpensWithTheStoredChoicesAndBrowseChangesOnlyThePath();
};

void DialogsTest::setupShowsTheStoredFieldsAndRefusesAsTheChecksSay() {
    {
        ShownSetup s(
            "[Misc]\nDiscoverIPSubNet=\nDiscoverMethod=BCAST\nFTPPassword=\nLocalHostIP=10.1.2."
            "40\n");
        QCOMPARE(s.Text("subnetEdit") + "|" + s.Text("ftpPasswordEdit") + "|" +
                     s.Text("getCommunityEdit"),
                 QString("10.1.2||GetINIValueStrError"));  // the proposed subnet
        QVERIFY(Child<QRadioButton>(&s.dialog, "methodBroadcastRadio")->isChecked());
        QVERIFY(!Edit(s.dialog, "rangeLowEdit")->isEnabled());
    }
    ShownSetup s(kStored);
    QCOMPARE(s.Text("getCommunityEdit") + "|" + s.Text("ftpPasswordEdit"), QString("public|abc"));
    QCOMPARE(Edit(s.dialog, "ftpPasswordEdit")->echoMode(), QLineEdit::Password);
    QVERIFY(Child<QRadioButton>(&s.dialog, "methodSnmpRadio")->isChecked());
    QVERIFY(s.t.Messages().Texts().empty());
    // The method switches the range edits, after their check.
    Click(&s.dialog, "methodBroadcastRadio");
    QVERIFY(!Edit(s.dialog, "rangeLowEdit")->isEnabled());
    QVERIFY(!Edit(s.dialog, "rangeHighEdit")->isEnabled());
    Click(&s.dialog, "methodSnmpRadio");
    QVERIFY(Edit(s.dialog, "rangeHighEdit")->isEnabled());
    QCOMPARE(s.Text("rangeLowEdit") + "-" + s.Text("rangeHighEdit"), QString("1-254"));
    Edit(s.dialog, "rangeHighEdit")->clear();
    Click(&s.dialog, "methodBroadcastRadio");
    QVERIFY(Edit(s.dialog, "rangeHighEdit")->isEnabled());
    QCOMPARE(s.t.Messages().Texts(),
             std::vector<std::string>{"Please enter an integer between 1 and 254."});
    QCOMPARE(s.dialog.focusWidget(), Edit(s.dialog, "rangeHighEdit"));
    // A refusal keeps the dialog, with the failing edit in focus; Cancel then
    // writes nothing.
    Edit(s.dialog, "rangeHighEdit")->setText("254");
    Edit(s.dialog, "rangeLowEdit")->setText("0");
    Click(&s.dialog, "okButton");
    QVERIFY(s.dialog.isVisible());
    QCOMPARE(s.dialog.focusWidget(), Edit(s.dialog, "rangeLowEdit"));
    Edit(s.dialog, "getCommunityEdit")->setText("changed");
    Click(&s.dialog, "cancelButton");
    QVERIFY(!s.dialog.isVisible());
    QCOMPARE(ReadTextFile(s.t.SettingsPath()), kStored);
    QCOMPARE(s.t.State().GetCommunity().Get(), std::string("public"));
}

void DialogsTest::setupOkWritesScrambledAndTheNextGetUsesTheNewCommunity() {
    SnmpdAgent agent;
    if (!agent.Ready()) {
        QSKIP_FOR_MISSING_PEER("snmpd did not start");
    }
    std::string settings = AgentSettings(agent.Port());
    settings.insert(settings.find('\n') + 1, kStored.substr(7));
    ShownSetup s(settings);
    s.t.State().GetCommunity().Set("wrong");
    QVERIFY(!s.t.Doc().GetSnmpOutcome(agent.Address(), "OidSysLocation", 0, 300, 0).ok);

    Edit(s.dialog, "ftpPasswordEdit")->setText("new secret");
    Edit(s.dialog, "ftpServerPathEdit")->setText("ftp\\configs");
    Click(&s.dialog, "methodBroadcastRadio");
    Click(&s.dialog, "okButton");
    QCOMPARE(s.dialog.result(), int(QDialog::Accepted));
    QVERIFY(s.t.Messages().Texts().empty());
    auto stored = [&](const char* key) {
        return s.t.Doc().GetINIValueStr("Misc", key, IfMissing::Silent);
    };
    QCOMPARE(UnscrambleStoredForm(stored("FTPPassword")).value_or("?"), std::string("new secret"));
    QCOMPARE(stored("FTPServerPath") + " " + stored("DiscoverMethod"),
             std::string("\\ftp\\configs BCAST"));
    SnmpOutcome get = s.t.Doc().GetSnmpOutcome(agent.Address(), "OidSysLocation");
    QVERIFY2(get.ok, get.text.c_str());
    QCOMPARE(get.text, std::string("Test Rack 7"));
}

void DialogsTest::securityNoticeOkSavesTheChoiceAndEscapeNothing() {
    // A missing key is reported and then reads as anything but "FALSE".
    TestDocument missing("[Misc]\n");
    QVERIFY(!SecurityNoticeWanted(missing.Doc()));
    QCOMPARE(missing.Messages().Texts(),
             std::vector<std::string>{"GetINIValueStr:Misc:DontShowSecurityInfo:Not Found"});

    TestDocument t("[Misc]\nDontShowSecurityInfo=FALSE\n");
    auto run = [&](bool tick, bool escape) {
        CSecurityInfoDlg notice(t.Doc());
        notice.show();
        QVERIFY(!(notice.windowFlags() & Qt::WindowSystemMenuHint));
        Child<QCheckBox>(&notice, "dontShowAgainCheck")->setChecked(tick);
        if (escape) {
            QTest::keyClick(&notice, Qt::Key_Escape);
        } else {
            Click(&notice, "okButton");
        }
        QVERIFY(!notice.isVisible());
    };
    run(false, false);
    QVERIFY(SecurityNoticeWanted(t.Doc()));
    run(true, true);
    QVERIFY(SecurityNoticeWanted(t.Doc()));
    run(true, false);
    QCOMPARE(t.Doc().GetINIValueStr("Misc", "DontShowSecurityInfo", IfMissing::Silent),
             std::string("TRUE"));
}

void DialogsTest::dialogWorkerNoticeFollowsTheStepsWhileInputIsDiscarded() {
    QWidget dialog;
    auto* button = new QPushButton("OK", &dialog);
    int clicks = 0;
    connect(button, &QPushButton::clicked, [&] { ++clicks; });
    dialog.show();
    CProgressNoticeDlg notice(&dialog);
    GuiUserMessages messages;
    DialogWorker worker(notice);

    Gate stepShown;
    Gate release;
    std::thread::id workerThread;
    bool doneOnGuiThread = false;
    bool boxDismissedFirst = false;
    QString boxText;
    QVERIFY(worker.Start(
        [&](std::stop_token, IProgressNotice& progress) {
            workerThread = std::this_thread::get_id();
            progress.SetMessages("Putting file", "Please Wait");
            stepShown.Open();
            release.Wait();
            progress.Close();
            messages.ShowMessage("Step failed", MessageIcon::Warning);
            boxDismissedFirst = !boxText.isEmpty();
            progress.SetMessages("Second step", "Please Wait");
        },
        [&] { doneOnGuiThread = QThread::currentThread() == qApp->thread(); }));
    QVERIFY(!worker.Start([](std::stop_token, IProgressNotice&) {}));

    stepShown.Wait();
    QTRY_VERIFY(notice.HasWindow());
    QCOMPARE(notice.Line1(), QString("Putting file"));
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicks, 0);

    QSignalSpy finished(&worker, &DialogWorker::finished);
    WhenModal<QMessageBox>([&](QMessageBox& box) {
        boxText = box.text();
        box.accept();
    });
    release.Open();
    QVERIFY(finished.wait(5000));
    QVERIFY(workerThread != std::this_thread::get_id());
    QVERIFY(doneOnGuiThread);
    QVERIFY(boxDismissedFirst);
    QCOMPARE(boxText, QString("Step failed"));
    QCOMPARE(notice.Line1(), QString("Second step"));
    QVERIFY(!notice.HasWindow());
    QVERIFY(!worker.IsRunning());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicks, 1);
}

void DialogsTest::destroyingTheDialogStopsTheWorker() {
    QWidget dialog;
    CProgressNoticeDlg notice(&dialog);
    std::atomic<bool> stopped{false};
    Gate started;
    bool done = false;
    {
        DialogWorker worker(notice);
        worker.Start(
            [&](std::stop_token stop, IProgressNotice&) {
                started.Open();
                std::mutex m;
                std::condition_variable_any cv;
                std::unique_lock lock(m);
                cv.wait(lock, stop, [] { return false; });
                stopped = true;
            },
            [&] { done = true; });
        started.Wait();
    }
    QVERIFY(stopped);
    QCoreApplication::processEvents();
    QVERIFY(!done);
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void DialogsTest::terminalInfoEditsTheTerminalOfTheSelectedRow() {
    ShownConsole c;
    c.Add({.ip = "127.0.0.21", .name = "ALPHA", .location = "North", .mac = "0080641200AA"});
    c.Add({.ip = "127.0.0.22", .name = "BETA", .location = "South", .mac = "0080641200BB"});
    QVERIFY(c.Refresh());
    c.List()->setCurrentItem(c.List()->topLevelItem(1));
    // Registered after the refresh: the dialog lists it, the main list's rows do not know it.
    c.Add({.ip = "127.0.0.23", .name = "LATE", .mac = "0080641200CC"});

    QAction* command = c.Command(cmd::kConfigureTerminalInfo);
    QVERIFY(command->isEnabled());
    bool driven = false;
    WhenModal<CTerminalInfoDlg>([&](CTerminalInfoDlg& dialog) {
        QSignalSpy finished(&dialog, &CTerminalInfoDlg::workFinished);
        auto click = [&](const char* button, bool work) {
            c.t.Messages().Clear();
            Click(&dialog, button);
            if (work) {
                QVERIFY(finished.wait(10000));
            }
        };
        auto* targets = Child<QListWidget>(&dialog, "targetList");
        auto text = [&](const char* edit) { return Edit(dialog, edit)->text(); };
        QCOMPARE(Texts(targets), QStringList({"ALPHA", "BETA", "LATE"}));
        QCOMPARE(targets->currentRow(), 1);
        QVERIFY(Child<QRadioButton>(&dialog, "blankIgnoreRadio")->isChecked());

        click("getTargetButton", true);
        QCOMPARE(text("nameEdit") + "|" + text("locationEdit") + "|" + text("field3Edit"),
                 QString("BETA|South|c3"));
        Edit(dialog, "nameEdit")->setText("ALPHA");
        click("setTargetButton", true);
        QCOMPARE(c.t.Messages().Texts(),
                 std::vector<std::string>{"Duplicate Name Found, Please Select Another"});
        targets->setCurrentRow(2);
        click("setTargetButton", false);
        QCOMPARE(c.t.Messages().Texts(),
                 std::vector<std::string>{LoadResString(ids::kTerminalNotInList)});
        QCOMPARE(c.snmp.agents["127.0.0.22"][".1.3.6.1.2.1.1.5.0"].octets.size(), 4u);  // BETA
        QCOMPARE(c.snmp.agents["127.0.0.23"][".1.3.6.1.2.1.1.5.0"].octets.size(), 4u);  // LATE
        targets->setCurrentRow(1);
        Edit(dialog, "nameEdit")->setText("BRAVO");
        Edit(dialog, "locationEdit")->clear();
        click("setTargetButton", true);
        QCOMPARE(c.t.Messages().Texts(),
                 std::vector<std::string>{"Terminal Information Update Complete"});
        QCOMPARE(Texts(targets), QStringList({"ALPHA", "BRAVO", "LATE"}));
        QCOMPARE(targets->currentRow(), 1);
        QCOMPARE(c.Names(), QStringList({"ALPHA", "BRAVO", "LATE"}));
        QCOMPARE(c.t.Terminals().FindByIP("127.0.0.22")->record.m_location, std::string("South"));

        click("clearFieldsButton", false);
        QCOMPARE(text("nameEdit") + text("contactEdit") + text("field1Edit"), QString());
        click("exitButton", false);
        driven = true;
    });
    QSignalSpy refreshed(&c.view, &CTarnView::refreshFinished);
    command->trigger();
    QVERIFY(driven);
    // Closing the dialog refreshes the list, which reads the new name back.
    QVERIFY(refreshed.count() > 0 || refreshed.wait(10000));
    QCOMPARE(c.Names(), QStringList({"ALPHA", "BRAVO", "LATE"}));
}

// The transfer dialogs on the fleet: each command opens its dialog (Upload
// after the security notice), a dialog stays open with its input when a run
// failed short of the terminals, and closes once they were asked.
void DialogsTest::theTransferDialogsOnTheFleet() {
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
    QString target, trapId;
    WhenModal<CSubmitXferDlg>([&](CSubmitXferDlg& dialog) {
        target = Child<QLineEdit>(&dialog, "targetEdit")->text();
        trapId = Child<QLineEdit>(&dialog, "trapIdEdit")->text();
        dialog.accept();
    });
    submit->trigger();
    QCOMPARE(target + " " + trapId,
             QString::fromStdString(kBare + " " + kBare.substr(kBare.size() - 10)));
    QVERIFY(!Child(std::make_unique<CSubmitXferDlg>(c.t->Doc(), "").get(), "submitButton")
                 ->isEnabled());  // no terminal selected yet: no one to send to
    QVERIFY(c.t->Messages().Texts().empty());

    // Submit: a field left empty sends nothing; the dialog stays after a request.
    const std::string registry =
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n\"A\"=\"1\"\r\n";
    WriteTextFile(c.site.ftp.Root() + "/new.reg", registry);
    CSubmitXferDlg submitting(c.t->Doc(), kDesk, c.frame.get());
    submitting.show();
    QVERIFY(Child<QRadioButton>(&submitting, "downloadRadio")->isChecked() &&
            Child<QRadioButton>(&submitting, "binaryRadio")->isChecked());
    QSignalSpy submitted(&submitting, &CSubmitXferDlg::submitEnded);
    Child<QLineEdit>(&submitting, "sourceEdit")->setText("/new.reg");
    Child<QLineEdit>(&submitting, "destEdit")->setText("terminal.reg");
    Click(&submitting, "submitButton");
    QVERIFY(submitted.wait(10000));
    QCOMPARE(c.t->Messages().Texts(), std::vector<std::string>{"Fill in all fields!"});
    c.t->Messages().Clear();
    Child<QLineEdit>(&submitting, "serverEdit")->setText("127.0.0.1");
    Child<QRadioButton>(&submitting, "asciiRadio")->setChecked(true);
    Click(&submitting, "submitButton");
    QVERIFY(submitted.wait(10000));
    QCOMPARE(submitting.LastResult(), std::string("NoneNoneNone"));
    QVERIFY(submitting.isVisible() && c.t->Messages().Texts().empty());
    QTRY_COMPARE_WITH_TIMEOUT(c.site.StoredOn(kDesk), registry, 10000);

    // Upload: closed once the terminal answered, open with its input otherwise.
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
    const std::string ftpPort = std::to_string(c.site.ftp.Port());
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

    // Firmware: a failed check keeps the dialog with its input; a run to two
    // terminals, one refusing its trap destination, closes it.
    c.t->Doc().WriteINIValueStr("Misc", "FTPServerPort", ftpPort);
    const std::string firmware = c.site.dir.File("fw");
    std::filesystem::create_directories(firmware);
    WriteTextFile(firmware + "/params.ini", "[Image]\nImageFileName=fw.bin\n");
    WriteTextFile(firmware + "/fw.bin", "image");
    c.picker.answer = QString::fromStdString(firmware + "/");
    CDownloadFirmwareDlg dialog(c.t->Doc(), c.View().MacByItem(), c.picker, c.frame.get());
    dialog.show();
    auto* targets = Child<QListWidget>(&dialog, "destinationList");
    QVERIFY(targets->selectedItems().isEmpty());
    Click(&dialog, "browseButton");
    auto runOk = [&] {
        c.t->Messages().Clear();
        Click(&dialog, "okButton");
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunning(), 20000);
    };
    runOk();
    QCOMPARE(c.t->Messages().Texts(),
             std::vector<std::string>{
                 "Terminal(s) Must Be Selected Before Configuration Transfer Can Occur"});
    QVERIFY(dialog.isVisible());
    QCOMPARE(Child<QLineEdit>(&dialog, "firmwarePathEdit")->text(), c.picker.answer);
    targets->item(RowOf(kDesk))->setSelected(true);
    targets->item(RowOf(kLocked))->setSelected(true);
    runOk();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.isVisible() && !dialog.Notice().HasWindow());
    std::vector<std::string> messages = c.t->Messages().Texts();
    QCOMPARE(messages.size(), std::size_t(2));
    QVERIFY2(messages[0].rfind("LOCKED- Set Trap Server Error -\n", 0) == 0, messages[0].c_str());
    QVERIFY(messages[1].rfind("Download Firmware Request(s) Complete Using Files From:", 0) == 0);
    QCOMPARE(c.t->Doc().GetINIValueStr("Misc", "DnloadFWPath", IfMissing::Silent), firmware);
}

void DialogsTest::downloadOpensWithTheStoredChoicesAndBrowseChangesOnlyThePath() {
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
    QCOMPARE(Texts(exclusions, true), QStringList({"Session Server"}));
    QVERIFY(!reboot->isChecked());

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

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
