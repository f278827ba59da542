#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>
#include <filesystem>

#include "FakeTerminals.h"
#include "MissingPeer.h"
#include "NetworkTestSupport.h"
#include "PyFtpServer.h"
#include "SimFleetProcess.h"
#include "TestDocument.h"
#include "core/terminals/TerminalDatabase.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CTarnView.h"
#include "gui/common/FolderPicker.h"
#include "gui/download/CDownloadConfigDlg.h"
#include "gui/traps/CTrapMonitorDlg.h"
#include "ui_CDownloadConfigDlg.h"

namespace {

// Answers the "..." button with a folder given in advance ("": cancelled).
class AnsweringPicker final : public IFolderPicker {
public:
    QString PickFolder(QWidget* /*parent*/, const QString& start) override {
        asked = start;
        return answer;
    }
    QString answer;
    QString asked;
};

QStringList Texts(const QListWidget& list, bool selectedOnly = false) {
    QStringList texts;
    for (int row = 0; row < list.count(); ++row) {
        if (!selectedOnly || list.item(row)->isSelected()) {
            texts << list.item(row)->text();
        }
    }
    return texts;
}

bool Shows(const CTrapMonitorDlg& monitor, const QString& line) {
    for (int i = 0; i < monitor.LineCounter(); ++i) {
        if (monitor.Line(i) == line) {
            return true;
        }
    }
    return false;
}

void CopyTemplate(const std::string& settingsPath) {
    std::filesystem::copy_file(std::string(FLEETWARDEN_SOURCE_DIR) + "/resources/fleetwarden.tpl",
                               settingsPath.substr(0, settingsPath.size() - 3) + "tpl",
                               std::filesystem::copy_options::overwrite_existing);
}

// The dialog over two known terminals, shown.
struct ShownDialog {
    TestDocument t;
    MacByItemTable macByItem;
    AnsweringPicker picker;
    std::unique_ptr<CDownloadConfigDlg> dialog;

    explicit ShownDialog(const std::string& misc, bool terminals = true)
        : t(DefaultSettingsWith(misc) + "[CurrentExclusions]\nsession server=\n") {
        CopyTemplate(t.SettingsPath());
        t.Doc().WriteINIValueStr("AvailableExclusions", "Kiosk", "multi_sz:\"K\",\"*\"");
        if (terminals) {
            t.Terminals().Append({.m_ip = "10.0.0.7", .m_name = "LOBBY", .m_macAdr = "02A"});
            t.Terminals().Append({.m_ip = "10.0.0.8", .m_name = "DESK", .m_macAdr = "02B"});
            macByItem.Assign({"02A", "02B"});
        }
        dialog = std::make_unique<CDownloadConfigDlg>(t.Doc(), macByItem, picker);
        dialog->show();
        if (!QTest::qWaitForWindowExposed(dialog.get())) {
            qWarning("dialog not exposed");
        }
    }
    Ui::CDownloadConfigDlg& ui() { return dialog->Controls(); }
};

}  // namespace

class DownloadConfigDialogTest : public QObject {
    Q_OBJECT
private slots:
    void opensWithTheStoredChoicesAndBrowseChangesOnlyThePath();
    void theViewsCommandDownloadsToTheFleetAndTheTrapMonitorShowsTheOutcome();
};

void DownloadConfigDialogTest::opensWithTheStoredChoicesAndBrowseChangesOnlyThePath() {
    {
        ShownDialog empty("CfgReboot=Yes\n", false);
        QVERIFY(empty.ui().rebootCheck->isChecked());
        QVERIFY(!empty.ui().okButton->isEnabled());
    }
    ShownDialog d("");
    std::string before = ReadTextFile(d.t.SettingsPath());
    QCOMPARE(Texts(*d.ui().targetList), QStringList({"LOBBY", "DESK"}));
    QCOMPARE(Texts(*d.ui().exclusionList), QStringList({"Display", "Network Addressing",
                                                        "Passwords", "Session Server", "Kiosk"}));
    QCOMPARE(d.dialog->TemplateCount(), std::size_t(4));
    QCOMPARE(Texts(*d.ui().exclusionList, true), QStringList({"Session Server"}));
    QVERIFY(!d.ui().rebootCheck->isChecked());
    QCOMPARE(d.ui().pathEdit->maxLength(), 159);

    d.ui().rebootCheck->setChecked(true);  // not saved yet
    d.picker.answer = "/srv/configs";
    QTest::mouseClick(d.ui().browseButton, Qt::LeftButton);
    QCOMPARE(d.ui().pathEdit->text(), QString("/srv/configs"));
    QVERIFY(d.ui().rebootCheck->isChecked());
    d.picker.answer.clear();  // cancelled
    QTest::mouseClick(d.ui().browseButton, Qt::LeftButton);
    QCOMPARE(d.picker.asked, QString("/srv/configs"));
    QCOMPARE(d.ui().pathEdit->text(), QString("/srv/configs"));

    // The identity pop-up of the row under a right click.
    QListWidget* list = d.ui().targetList;
    QPoint onDesk = list->visualItemRect(list->item(1)).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, onDesk,
                            list->viewport()->mapToGlobal(onDesk));
    QApplication::sendEvent(list->viewport(), &click);
    QCOMPARE(d.t.Messages().Texts().size(), std::size_t(1));
    QVERIFY(d.t.Messages().Texts()[0].find("10.0.0.8") != std::string::npos);

    // A refusal (no terminal selected) keeps the dialog; Cancel then writes nothing.
    QTest::mouseClick(d.ui().okButton, Qt::LeftButton);
    QTRY_VERIFY(QApplication::overrideCursor() == nullptr);  // the run's worker has ended
    QCOMPARE(d.t.Messages().Texts().size(), std::size_t(2));
    QVERIFY(d.dialog->isVisible());
    QTest::mouseClick(d.ui().cancelButton, Qt::LeftButton);
    QVERIFY(!d.dialog->isVisible());
    QCOMPARE(ReadTextFile(d.t.SettingsPath()), before);
}

void DownloadConfigDialogTest::
    theViewsCommandDownloadsToTheFleetAndTheTrapMonitorShowsTheOutcome() {
    if (!QFileInfo::exists(QString::fromStdString(SimFleetProgram()))) {
        QSKIP_FOR_MISSING_PEER("the simulated fleet is not built");
    }
    PyFtpServer ftp;
    if (!ftp.Ready()) {
        QSKIP_FOR_MISSING_PEER("pyftpdlib did not start");
    }
    TempDir dir;
    unsigned trapPort = FreeUdpPort();
    SimFleetProcess fleet(
        {"[LOBBY]\nAddress=127.0.74.2\n[LOCKED]\nAddress=127.0.74.3\n"
         "RefuseSetsOf=EntOidTrapServer5\n",
         {"--trap-port", std::to_string(trapPort), "--ftp-port", std::to_string(ftp.Port()),
          "--state-dir", dir.File("state")}});
    QVERIFY2(fleet.Ready(), fleet.Log().c_str());
    WriteTextFile(dir.File("terminal.reg"),
                  "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ThinClient\\Security]\r\n"
                  "\"AdminPassword\"=\"site-secret\"\r\n\"LockSettings\"=dword:00000001\r\n");
    TestDocument t(DefaultSettingsWith(
        "TrapPort=" + std::to_string(trapPort) + "\nSnmpPort=" + std::to_string(fleet.SnmpPort()) +
        "\nFTPServerPort=" + std::to_string(ftp.Port()) + "\nLocalHostIP=127.0.0.1\n"));
    CopyTemplate(t.SettingsPath());
    t.Doc().WriteINIValueStr("Misc", "FTPServerName", "127.0.0.1");
    t.Doc().WriteINIValueStr("Misc", "DnloadPath", dir.Path());
    QVERIFY(t.Doc().RegisterTerminal("127.0.74.2") && t.Doc().RegisterTerminal("127.0.74.3"));

    // The main window lists them, so its row table maps the dialog's rows.
    CMainFrame frame(t.Doc());
    frame.show();
    CTarnView& view = *frame.View();
    QTRY_VERIFY(!view.IsRefreshing() && view.TrapMonitor() &&
                view.TrapMonitor()->LineCounter() == 1);
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<CDownloadConfigDlg*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        Ui::CDownloadConfigDlg& ui = dialog->Controls();
        QCOMPARE(Texts(*ui.targetList), QStringList({"LOBBY", "LOCKED"}));
        ui.targetList->selectAll();
        ui.exclusionList->findItems("Passwords", Qt::MatchExactly).first()->setSelected(true);
        QTest::mouseClick(ui.okButton, Qt::LeftButton);
    });
    emit frame.updateCommandUi();
    frame.CommandAction(cmd::kDownloadConfiguration)->trigger();  // returns once it closed

    std::vector<std::string> texts = t.Messages().Texts();
    QCOMPARE(texts.size(), std::size_t(2));
    QVERIFY2(texts[0].rfind("LOCKED- Set Trap Server Error -\n", 0) == 0, texts[0].c_str());
    QVERIFY2(texts[1].rfind("Download Configuration Request(s) Complete", 0) == 0,
             texts[1].c_str());
    QTRY_VERIFY_WITH_TIMEOUT(Shows(*view.TrapMonitor(), "SNMP Initiated Up/Download Request Done"),
                             20000);
    std::string stored = ReadTextFile(dir.File("state/127.0.74.2/terminal.reg"));
    QVERIFY2(stored.find("LockSettings") != std::string::npos, stored.c_str());
    QVERIFY(stored.find("site-secret") == std::string::npos);
}

QTEST_MAIN(DownloadConfigDialogTest)
#include "DownloadConfigDialogTest.moc"
