#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
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
            g_Terminals.Append({.m_strIP = "10.0.0.7", .m_strName = "LOBBY", .m_strMacAdr = "02A"});
            g_Terminals.Append({.m_strIP = "10.0.0.8", .m_strName = "DESK", .m_strMacAdr = "02B"});
            macByItem.Assign({"02A", "02B"});
        }
        dialog = std::make_unique<CDownloadConfigDlg>(t.Doc(), macByItem, picker);
        dialog->show();
        if (!QTest::qWaitForWindowExposed(dialog.get())) {
            qWarning("dialog not exposed");
        }
    }
    ~ShownDialog() { g_Terminals.Clear(); }
    Ui::CDownloadConfigDlg& ui() { return dialog->Controls(); }
};

}  // namespace

class DownloadConfigDialogTest : public QObject {
    Q_OBJECT
private slots:
    void opensWithBothListsInOrderAndThePreviousChoice();
    void browseRefreshesOnlyThePathAndRefusalsKeepItOpen();
    void aRightClickShowsTheTerminalAndTheViewOpensIt();
    void okDownloadsToTheFleetAndTheTrapMonitorShowsTheOutcome();
};

void DownloadConfigDialogTest::opensWithBothListsInOrderAndThePreviousChoice() {
    {
        ShownDialog d("");
        QCOMPARE(d.dialog->windowTitle(), QString("Download Configuration"));
        QCOMPARE(Texts(*d.ui().targetList), QStringList({"LOBBY", "DESK"}));
        QCOMPARE(
            Texts(*d.ui().exclusionList),
            QStringList({"Display", "Network Addressing", "Passwords", "Session Server", "Kiosk"}));
        QCOMPARE(d.dialog->TemplateCount(), std::size_t(4));
        QCOMPARE(Texts(*d.ui().exclusionList, true), QStringList({"Session Server"}));
        QCOMPARE(d.ui().pathEdit->text(), QString(""));  // the shipped file's empty path
        QVERIFY(!d.ui().rebootCheck->isChecked());
        QCOMPARE(d.ui().pathEdit->maxLength(), 159);
        QCOMPARE(d.ui().targetList->selectionMode(), QAbstractItemView::MultiSelection);
        QVERIFY(d.ui().okButton->isEnabled());
        QVERIFY(d.t.Messages().Texts().empty());
        for (QWidget* control : d.dialog->findChildren<QWidget*>()) {
            if (control->parent() == d.dialog.get() || control->inherits("QAbstractButton")) {
                QVERIFY2(!control->objectName().isEmpty(), control->metaObject()->className());
            }
        }
    }
    ShownDialog empty("CfgReboot=Yes\n", false);
    QVERIFY(empty.ui().rebootCheck->isChecked());
    QVERIFY(!empty.ui().okButton->isEnabled());
}

void DownloadConfigDialogTest::browseRefreshesOnlyThePathAndRefusalsKeepItOpen() {
    ShownDialog d("");
    std::string before = ReadTextFile(d.t.SettingsPath());
    d.ui().rebootCheck->setChecked(true);  // not saved yet
    d.picker.answer = "/srv/configs";
    QTest::mouseClick(d.ui().browseButton, Qt::LeftButton);
    QCOMPARE(d.ui().pathEdit->text(), QString("/srv/configs"));
    QVERIFY(d.ui().rebootCheck->isChecked());
    d.picker.answer.clear();
    QTest::mouseClick(d.ui().browseButton, Qt::LeftButton);
    QCOMPARE(d.picker.asked, QString("/srv/configs"));
    QCOMPARE(d.ui().pathEdit->text(), QString("/srv/configs"));

    // No terminal selected, then no path: each refused with its message, the
    // dialog stays, and Cancel afterwards leaves the settings as they were.
    // The run's worker ends when the wait cursor goes.
    QTest::mouseClick(d.ui().okButton, Qt::LeftButton);
    QTRY_VERIFY(QApplication::overrideCursor() == nullptr);
    d.ui().targetList->item(1)->setSelected(true);
    d.ui().pathEdit->clear();
    QTest::mouseClick(d.ui().okButton, Qt::LeftButton);
    QTRY_VERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(!d.dialog->ProgressNotice().HasWindow());
    QCOMPARE(d.t.Messages().Texts(),
             std::vector<std::string>(
                 {"Terminal(s) Must Be Selected Before Configuration Transfer Can Occur",
                  "Must Provide a Path for the Configuration File"}));
    QVERIFY(d.dialog->isVisible());
    QTest::mouseClick(d.ui().cancelButton, Qt::LeftButton);
    QVERIFY(!d.dialog->isVisible());
    QCOMPARE(ReadTextFile(d.t.SettingsPath()), before);
}

void DownloadConfigDialogTest::aRightClickShowsTheTerminalAndTheViewOpensIt() {
    {
        ShownDialog d("");
        QListWidget* list = d.ui().targetList;
        QPoint onDesk = list->visualItemRect(list->item(1)).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, onDesk,
                                list->viewport()->mapToGlobal(onDesk));
        QApplication::sendEvent(list->viewport(), &click);
        std::vector<std::string> shown = d.t.Messages().Texts();
        QCOMPARE(shown.size(), std::size_t(1));
        QVERIFY2(shown[0].find("10.0.0.8") != std::string::npos, shown[0].c_str());
    }

    TestDocument t(DefaultSettingsWith("TrapPort=" + std::to_string(FreeUdpPort()) + "\n"));
    g_Terminals.Append({.m_strIP = "10.0.0.7", .m_strName = "LOBBY"});
    CMainFrame frame(t.Doc());
    emit frame.updateCommandUi();
    QAction* download = frame.CommandAction(cmd::kDownloadConfiguration);
    QVERIFY(download->isEnabled());
    QString opened;
    QTimer::singleShot(50, [&] {
        if (auto* dialog = qobject_cast<CDownloadConfigDlg*>(QApplication::activeModalWidget())) {
            opened = dialog->windowTitle();
            dialog->reject();
        }
    });
    download->trigger();
    QCOMPARE(opened, QString("Download Configuration"));
    g_Terminals.Clear();
}

void DownloadConfigDialogTest::okDownloadsToTheFleetAndTheTrapMonitorShowsTheOutcome() {
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
    t.Doc().WriteINIValueStr("Misc", "DnloadPath", dir.Path() + "/");
    QVERIFY(t.Doc().RegisterTerminal("127.0.74.2") && t.Doc().RegisterTerminal("127.0.74.3"));

    // The main window lists them, so its row table maps the dialog's rows.
    CMainFrame frame(t.Doc());
    frame.show();
    CTarnView& view = *frame.View();
    if (view.IsRefreshing()) {
        QSignalSpy refreshed(&view, &CTarnView::refreshFinished);
        QVERIFY(refreshed.wait(20000));
    }
    QTRY_COMPARE(view.TrapMonitor()->LineCounter(), 1);

    CDownloadConfigDlg dialog(t.Doc(), view.MacByItem(), view.FolderPicker(), &frame);
    dialog.show();
    Ui::CDownloadConfigDlg& ui = dialog.Controls();
    QCOMPARE(Texts(*ui.targetList), QStringList({"LOBBY", "LOCKED"}));
    ui.targetList->selectAll();
    ui.exclusionList->findItems("Passwords", Qt::MatchExactly).first()->setSelected(true);
    QTest::mouseClick(ui.okButton, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 20000);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.ProgressNotice().Line1(),
             QString("Sending Download Configuration Request to Terminal(s)"));
    QVERIFY(!dialog.ProgressNotice().HasWindow());
    std::vector<std::string> texts = t.Messages().Texts();
    QCOMPARE(texts.size(), std::size_t(2));
    QVERIFY2(texts[0].rfind("LOCKED- Set Trap Server Error -\n", 0) == 0, texts[0].c_str());
    QCOMPARE(t.Doc().GetINIValueStr("Misc", "DnloadPath", 0), dir.Path());

    auto monitorShows = [&](const QString& text) {
        for (int i = 0; i < view.TrapMonitor()->LineCounter(); ++i) {
            if (view.TrapMonitor()->Line(i) == text) {
                return true;
            }
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(monitorShows("SNMP Initiated Up/Download Request Done"), 20000);
    std::string stored = ReadTextFile(dir.File("state/127.0.74.2/terminal.reg"));
    QVERIFY2(stored.find("LockSettings") != std::string::npos, stored.c_str());
    QVERIFY(stored.find("site-secret") == std::string::npos);
    g_Terminals.Clear();
}

QTEST_MAIN(DownloadConfigDialogTest)
#include "DownloadConfigDialogTest.moc"
