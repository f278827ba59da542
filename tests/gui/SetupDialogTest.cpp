#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "NetworkTestSupport.h"
#include "SnmpdAgent.h"
#include "TestDocument.h"
#include "core/common/Sentinel.h"
#include "core/setup/PasswordScrambling.h"
#include "core/setup/SecurityNotice.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CTarnView.h"
#include "gui/setup/CSecurityInfoDlg.h"
#include "gui/setup/CSetupDlg.h"

namespace {

const char* const kRangeMessage = "Please enter an integer between 1 and 254.";

std::string Stored(const std::string& extra = {}) {
    return "[Misc]\nGetCommunity=public\nSetCommunity=private\nDiscoverIPSubNet=10.1.2\n"
           "DiscoverMethod=SNMP\nDiscoverRangeLow=1\nDiscoverRangeHigh=254\n"
           "FTPServerName=127.0.0.1\nFTPServerPath=/cfg\nFTPLogin=admin\n"
           "FTPPassword=00045796a397\nLocalHostIP=10.1.2.40\n" +
           extra;
}

template <typename T = QLineEdit>
T* Find(QWidget& dialog, const char* name) {
    T* control = dialog.findChild<T*>(name);
    if (!control) {
        qFatal("no control %s", name);
    }
    return control;
}

void Type(QWidget& dialog, const char* name, const QString& text) {
    Find(dialog, name)->setText(text);
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
    QString Text(const char* name) { return Find(dialog, name)->text(); }
    void Click(const char* name) {
        QTest::mouseClick(Find<QAbstractButton>(dialog, name), Qt::LeftButton);
    }
};

}  // namespace

class SetupDialogTest : public QObject {
    Q_OBJECT
private slots:
    void opensWithTheStoredFieldsAndProposesASubnet();
    void methodSwitchesTheRangeEditsAfterTheirCheck();
    void refusalsKeepItOpenAndCancelWritesNothing();
    void okWritesThePasswordScrambled();
    void theNextGetUsesTheNewCommunity();
    void theViewOpensSetupFromItsCommand();
    void securityNoticeOkSavesTheChoiceAndEscapeNothing();
};

void SetupDialogTest::opensWithTheStoredFieldsAndProposesASubnet() {
    {
        ShownSetup s(Stored());
        QCOMPARE(s.dialog.windowTitle(), QString("Setup"));
        QCOMPARE(s.Text("getCommunityEdit"), QString("public"));
        QCOMPARE(s.Text("ftpPasswordEdit"), QString("abc"));
        QCOMPARE(Find(s.dialog, "ftpPasswordEdit")->echoMode(), QLineEdit::Password);
        QVERIFY(Find<QRadioButton>(s.dialog, "methodSnmpRadio")->isChecked());
        QVERIFY(Find(s.dialog, "rangeLowEdit")->isEnabled());
        QVERIFY(s.t.Messages().Texts().empty());
        for (QWidget* control : s.dialog.findChildren<QWidget*>()) {
            QVERIFY2(!control->objectName().isEmpty(), control->metaObject()->className());
        }
    }
    ShownSetup s(
        "[Misc]\nDiscoverIPSubNet=\nDiscoverMethod=BCAST\nFTPPassword=\n"
        "LocalHostIP=10.1.2.40\n");
    QCOMPARE(s.Text("subnetEdit"), QString("10.1.2"));
    QVERIFY(Find<QRadioButton>(s.dialog, "methodBroadcastRadio")->isChecked());
    QVERIFY(!Find(s.dialog, "rangeLowEdit")->isEnabled());
    QCOMPARE(s.Text("ftpPasswordEdit"), QString());
    QCOMPARE(s.Text("getCommunityEdit"), QString("GetINIValueStrError"));
}

void SetupDialogTest::methodSwitchesTheRangeEditsAfterTheirCheck() {
    ShownSetup s(Stored());
    s.Click("methodBroadcastRadio");
    QVERIFY(!Find(s.dialog, "rangeLowEdit")->isEnabled());
    QVERIFY(!Find(s.dialog, "rangeHighEdit")->isEnabled());
    s.Click("methodSnmpRadio");
    QVERIFY(Find(s.dialog, "rangeHighEdit")->isEnabled());
    QCOMPARE(s.Text("rangeLowEdit") + "-" + s.Text("rangeHighEdit"), QString("1-254"));

    // A range edit that fails its check keeps the edits as they were.
    Type(s.dialog, "rangeHighEdit", "");
    s.Click("methodBroadcastRadio");
    QVERIFY(Find(s.dialog, "rangeHighEdit")->isEnabled());
    QCOMPARE(s.t.Messages().Texts(), std::vector<std::string>{kRangeMessage});
    QCOMPARE(s.dialog.focusWidget(), Find(s.dialog, "rangeHighEdit"));
}

void SetupDialogTest::refusalsKeepItOpenAndCancelWritesNothing() {
    // The checks and their messages are the core's; here: the dialog stays, the
    // failing range edit has the focus, nothing is written.
    const std::pair<const char*, const char*> cases[] = {{"rangeLowEdit", "0"},
                                                         {"subnetEdit", "10.1.2; 10.1.3"}};
    for (const auto& [control, text] : cases) {
        ShownSetup s(Stored());
        Type(s.dialog, control, text);
        s.Click("okButton");
        QVERIFY2(s.dialog.isVisible(), text);
        QCOMPARE(s.t.Messages().Texts().size(), std::size_t(1));
        if (std::string(control) == "rangeLowEdit") {
            QCOMPARE(s.dialog.focusWidget(), Find(s.dialog, control));
        }
        Type(s.dialog, "getCommunityEdit", "changed");
        s.Click("cancelButton");
        QVERIFY(!s.dialog.isVisible());
        QCOMPARE(ReadTextFile(s.t.SettingsPath()), Stored());
        QCOMPARE(s.t.State().GetCommunity().Get(), std::string("public"));
    }
}

void SetupDialogTest::okWritesThePasswordScrambled() {
    ShownSetup s(Stored());
    Type(s.dialog, "ftpPasswordEdit", "new secret");
    Type(s.dialog, "ftpServerPathEdit", "ftp\\configs");
    s.Click("methodBroadcastRadio");
    s.Click("okButton");
    QVERIFY(!s.dialog.isVisible());
    QCOMPARE(s.dialog.result(), int(QDialog::Accepted));
    std::string stored = s.t.Doc().GetINIValueStr("Misc", "FTPPassword", IfMissing::Silent);
    QCOMPARE(UnscrambleStoredForm(stored).value_or("?"), std::string("new secret"));
    QCOMPARE(s.t.Doc().GetINIValueStr("Misc", "FTPServerPath", IfMissing::Silent),
             std::string("\\ftp\\configs"));
    QCOMPARE(s.t.Doc().GetINIValueStr("Misc", "DiscoverMethod", IfMissing::Silent),
             std::string("BCAST"));
    QVERIFY(s.t.Messages().Texts().empty());
}

void SetupDialogTest::theNextGetUsesTheNewCommunity() {
    SnmpdAgent agent;
    if (!agent.Ready()) {
        QSKIP("snmpd did not start");
    }
    std::string settings = AgentSettings(agent.Port());
    settings.insert(
        settings.find('\n') + 1,
        "DiscoverIPSubNet=127.0.0\nFTPServerName=127.0.0.1\nDiscoverRangeLow=1\n"
        "DiscoverRangeHigh=9\nFTPPassword=\nDiscoverMethod=SNMP\nFTPServerPath=/\nFTPLogin=\n");
    TestDocument t(settings);
    t.State().GetCommunity().Set("wrong");
    QVERIFY(!t.Doc().GetSnmpOutcome(agent.Address(), "OidSysLocation", 0, 300, 0).ok);

    CSetupDlg dialog(t.Doc());
    dialog.show();
    Type(dialog, "getCommunityEdit", "public");
    QTest::mouseClick(Find<QPushButton>(dialog, "okButton"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(t.Messages().Texts().empty());
    SnmpOutcome get = t.Doc().GetSnmpOutcome(agent.Address(), "OidSysLocation");
    QVERIFY2(get.ok, get.text.c_str());
    QCOMPARE(get.text, std::string("Test Rack 7"));
}

void SetupDialogTest::theViewOpensSetupFromItsCommand() {
    TestDocument t(Stored("TrapPort=" + std::to_string(FreeUdpPort()) + "\n"));
    CMainFrame frame(t.Doc());
    emit frame.updateCommandUi();
    QAction* setup = frame.CommandAction(cmd::kSetup);
    QVERIFY(setup->isEnabled());
    QString opened;
    QTimer::singleShot(50, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<CSetupDlg*>(modal)) {
            opened = dialog->windowTitle();
            dialog->reject();
        }
    });
    setup->trigger();
    QCOMPARE(opened, QString("Setup"));
}

void SetupDialogTest::securityNoticeOkSavesTheChoiceAndEscapeNothing() {
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
        QCOMPARE(notice.windowTitle(), QString("Security Information"));
        Find<QCheckBox>(notice, "dontShowAgainCheck")->setChecked(tick);
        if (escape) {
            QTest::keyClick(&notice, Qt::Key_Escape);
        } else {
            QTest::mouseClick(Find<QPushButton>(notice, "okButton"), Qt::LeftButton);
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

QTEST_MAIN(SetupDialogTest)
#include "SetupDialogTest.moc"
