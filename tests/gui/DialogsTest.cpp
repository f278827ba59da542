#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "GuiTestSupport.h"
#include "MissingPeer.h"
#include "PyFtpServer.h"
#include "SnmpdAgent.h"
#include "core/common/Sentinel.h"
#include "core/common/StringTable.h"
#include "core/setup/PasswordScrambling.h"
#include "core/setup/SecurityNotice.h"
#include "core/terminals/TerminalDatabase.h"
#include "gui/common/DialogWorker.h"
#include "gui/common/GuiUserMessages.h"
#include "gui/firmware/CDownloadFirmwareDlg.h"
#include "gui/setup/CSecurityInfoDlg.h"
#include "gui/setup/CSetupDlg.h"
#include "gui/terminfo/CTerminalInfoDlg.h"
#include "gui/transfer/CProgressNoticeDlg.h"

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

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void setupOpensWithTheStoredFieldsAndProposesASubnet();
    void setupMethodSwitchesTheRangeEditsAfterTheirCheck();
    void setupRefusalsKeepItOpenAndCancelWritesNothing();
    void setupOkWritesScrambledAndTheNextGetUsesTheNewCommunity();
    void securityNoticeOkSavesTheChoiceAndEscapeNothing();
    void dialogWorkerNoticeFollowsTheStepsWhileInputIsDiscarded();
    void destroyingTheDialogStopsTheWorker();
    void terminalInfoEditsTheTerminalOfTheSelectedRow();
    void firmwareChecksKeepTheDialogOpenAndARunClosesIt();
};

void DialogsTest::setupOpensWithTheStoredFieldsAndProposesASubnet() {
    {
        ShownSetup s(kStored);
        QCOMPARE(s.Text("getCommunityEdit") + "|" + s.Text("ftpPasswordEdit"),
                 QString("public|abc"));
        QCOMPARE(Edit(s.dialog, "ftpPasswordEdit")->echoMode(), QLineEdit::Password);
        QVERIFY(Child<QRadioButton>(&s.dialog, "methodSnmpRadio")->isChecked());
        QVERIFY(Edit(s.dialog, "rangeLowEdit")->isEnabled());
        QVERIFY(s.t.Messages().Texts().empty());
    }
    ShownSetup s(
        "[Misc]\nDiscoverIPSubNet=\nDiscoverMethod=BCAST\nFTPPassword=\nLocalHostIP=10.1.2.40\n");
    QCOMPARE(s.Text("subnetEdit"), QString("10.1.2"));
    QVERIFY(Child<QRadioButton>(&s.dialog, "methodBroadcastRadio")->isChecked());
    QVERIFY(!Edit(s.dialog, "rangeLowEdit")->isEnabled());
    QCOMPARE(s.Text("ftpPasswordEdit"), QString());
    QCOMPARE(s.Text("getCommunityEdit"), QString("GetINIValueStrError"));
}

void DialogsTest::setupMethodSwitchesTheRangeEditsAfterTheirCheck() {
    ShownSetup s(kStored);
    Click(&s.dialog, "methodBroadcastRadio");
    QVERIFY(!Edit(s.dialog, "rangeLowEdit")->isEnabled());
    QVERIFY(!Edit(s.dialog, "rangeHighEdit")->isEnabled());
    Click(&s.dialog, "methodSnmpRadio");
    QVERIFY(Edit(s.dialog, "rangeHighEdit")->isEnabled());
    QCOMPARE(s.Text("rangeLowEdit") + "-" + s.Text("rangeHighEdit"), QString("1-254"));

    // A range edit that fails its check keeps the edits as they were.
    Edit(s.dialog, "rangeHighEdit")->clear();
    Click(&s.dialog, "methodBroadcastRadio");
    QVERIFY(Edit(s.dialog, "rangeHighEdit")->isEnabled());
    QCOMPARE(s.t.Messages().Texts(),
             std::vector<std::string>{"Please enter an integer between 1 and 254."});
    QCOMPARE(s.dialog.focusWidget(), Edit(s.dialog, "rangeHighEdit"));
}

void DialogsTest::setupRefusalsKeepItOpenAndCancelWritesNothing() {
    // The checks and their messages are the core's; here: the dialog stays, the
    // failing range edit has the focus, nothing is written.
    ShownSetup s(kStored);
    Edit(s.dialog, "rangeLowEdit")->setText("0");
    Click(&s.dialog, "okButton");
    QVERIFY(s.dialog.isVisible());
    QCOMPARE(s.t.Messages().Texts().size(), std::size_t(1));
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

void DialogsTest::firmwareChecksKeepTheDialogOpenAndARunClosesIt() {
    PyFtpServer ftp;
    if (!ftp.Ready()) {
        QSKIP_FOR_MISSING_PEER("pyftpdlib did not start: " + ftp.Log());
    }
    TempDir dir;
    const std::string firmware = dir.File("fw");
    std::filesystem::create_directories(firmware);
    WriteTextFile(firmware + "/params.ini", "[Image]\nImageFileName=fw.bin\n");
    WriteTextFile(firmware + "/fw.bin", "image");
    ShownConsole c("FTPServerPort=" + std::to_string(ftp.Port()) +
                   "\nFTPServerName=127.0.0.1\nDnloadFWPath=/old/firmware\n");
    c.Add({.ip = "127.0.0.21", .name = "FIRST", .mac = "00806412AB01"});
    c.Add({.ip = "127.0.0.22", .name = "SECOND", .mac = "00806412AB02"});
    // The first takes a request: it has the trap destination and transfer objects.
    const std::string prefix = ".1.3.6.1.4.1.32473.10";
    auto& objects = c.snmp.agents["127.0.0.21"];
    for (const char* text : {".3.5.0", ".4.2.0", ".4.4.0", ".4.5.0", ".4.8.0"}) {
        objects[prefix + text] = FakeSnmpManager::Text("");
    }
    for (const char* number : {".4.1.0", ".4.3.0", ".4.6.0", ".4.7.0", ".4.11.0", ".4.12.0"}) {
        objects[prefix + number] = FakeSnmpManager::Integer(0);
    }
    QVERIFY(c.Command(cmd::kDownloadFirmware)->isEnabled());
    QVERIFY(c.Refresh());
    AnsweringPicker picker;
    picker.answer = QString::fromStdString(firmware + "/");

    CDownloadFirmwareDlg dialog(c.t.Doc(), c.view.MacByItem(), picker, c.frame.get());
    dialog.show();
    auto* targets = Child<QListWidget>(&dialog, "destinationList");
    QLineEdit* path = Edit(dialog, "firmwarePathEdit");
    QVERIFY(targets->selectedItems().isEmpty());
    QCOMPARE(path->text(), QString("/old/firmware"));
    Click(&dialog, "browseButton");
    QCOMPARE(path->text(), picker.answer);

    // A failed check: its message, and the dialog stays open with its input.
    auto runOk = [&] {
        Click(&dialog, "okButton");
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunning(), 20000);
    };
    runOk();
    QCOMPARE(c.t.Messages().Texts(),
             std::vector<std::string>{
                 "Terminal(s) Must Be Selected Before Configuration Transfer Can Occur"});
    QVERIFY(dialog.isVisible());
    QCOMPARE(path->text(), picker.answer);

    // Both selected: the second lacks a trap destination and is skipped; the
    // first gets its request; the dialog closes and the directory is kept.
    c.t.Messages().Clear();
    targets->selectAll();
    QSignalSpy finished(&dialog, &QDialog::finished);
    runOk();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    std::vector<std::string> messages = c.t.Messages().Texts();
    QCOMPARE(messages.size(), std::size_t(2));
    QVERIFY2(messages[0].rfind("SECOND- Set Trap Server Error -\n", 0) == 0, messages[0].c_str());
    QVERIFY(messages[1].rfind("Download Firmware Request(s) Complete Using Files From:", 0) == 0);
    // The submit object, written last: the whole request went out.
    QCOMPARE(objects.at(prefix + ".4.12.0").integer, 1LL);
    QCOMPARE(ReadTextFile(ftp.Root() + "/fw.bin"), std::string("image"));
    QCOMPARE(c.t.Doc().GetINIValueStr("Misc", "DnloadFWPath", IfMissing::Silent), firmware);
    QVERIFY(!dialog.Notice().HasWindow());
}

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
