#include <QAction>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <functional>

#include <sys/stat.h>

#include "MissingPeer.h"
#include "NetworkTestSupport.h"
#include "PyFtpServer.h"
#include "SimFleetProcess.h"
#include "TestDocument.h"
#include "core/terminals/TerminalDatabase.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CTarnView.h"
#include "gui/setup/CSecurityInfoDlg.h"
#include "gui/transfer/CSubmitXferDlg.h"
#include "gui/transfer/CUploadConfigDlg.h"
#include "gui/traps/CTrapMonitorDlg.h"
#include "ui_CSubmitXferDlg.h"
#include "ui_CTarnView.h"
#include "ui_CUploadConfigDlg.h"

namespace {

// Registered in this order, so these are their rows in every terminal list.
const std::string kDesk = "127.0.73.2";
const std::string kQuiet = "127.0.73.3";  // sends no outcome trap
const std::string kBare = "127.0.73.4";   // has no file of the configuration's name
int RowOf(const std::string& ip) {
    return ip == kDesk ? 0 : ip == kQuiet ? 1 : 2;
}

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

class AnsweringPicker final : public IFolderPicker {
public:
    QString PickFolder(QWidget*, const QString& start) override {
        asked = start;
        return answer;
    }
    QString answer;
    QString asked;
};

// Runs `action` on the next modal window of type T once it shows.
template <typename T>
void WhenModal(std::function<void(T&)> action) {
    QTimer::singleShot(20, [action] {
        if (auto* modal = qobject_cast<T*>(QApplication::activeModalWidget())) {
            action(*modal);
        } else {
            WhenModal<T>(action);
        }
    });
}

// The console on a simulated fleet of three and an FTP staging server, its
// traps heard by its own Trap Monitor.
struct Console {
    TempDir dir;
    PyFtpServer ftp;
    unsigned trapPort = FreeUdpPort();
    std::unique_ptr<SimFleetProcess> fleet;
    std::unique_ptr<TestDocument> t;
    std::unique_ptr<CMainFrame> frame;
    AnsweringPicker picker;

    bool Start() {
        if (!ftp.Ready() || !QFileInfo::exists(QString::fromStdString(SimFleetProgram()))) {
            return false;
        }
        fleet = std::make_unique<SimFleetProcess>(SimFleetProcess::Options{
            "[DESK]\nAddress=" + kDesk + "\n[QUIET]\nAddress=" + kQuiet +
                "\nNoOutcomeTrap=yes\n[BARE]\nAddress=" + kBare + "\nConfigFileName=other.reg\n",
            {"--trap-port", std::to_string(trapPort), "--ftp-port", std::to_string(ftp.Port()),
             "--state-dir", dir.File("state")},
            false,
            {}});
        if (!fleet->Ready()) {
            qWarning("%s", fleet->Log().c_str());
            return false;
        }
        std::string settings = ReadTextFile(ShippedSettingsPath());
        settings.replace(settings.find("\nFTPServerName=\n"), 16, "\nFTPServerName=127.0.0.1\n");
        settings.replace(settings.find("\nDnloadPath=\n"), 13,
                         "\nDnloadPath=" + dir.File("configs") + "\n");
        settings.insert(settings.find("[Misc]\n") + 7,
                        "SnmpPort=" + std::to_string(fleet->SnmpPort()) +
                            "\nTrapPort=" + std::to_string(trapPort) + "\nFTPServerPort=" +
                            std::to_string(ftp.Port()) + "\nLocalHostIP=127.0.0.1\n");
        t = std::make_unique<TestDocument>(settings);
        for (const auto& ip : {kDesk, kQuiet, kBare}) {
            t->Doc().RegisterTerminal(ip);
        }
        frame = std::make_unique<CMainFrame>(t->Doc());
        View().SetFolderPicker(picker);
        QSignalSpy refreshed(&View(), &CTarnView::refreshFinished);
        frame->show();
        return refreshed.wait(20000) && View().TrapMonitor() &&
               QTest::qWaitFor([&] { return View().TrapMonitor()->LineCounter() == 1; });
    }
    ~Console() { frame.reset(); }
    CTarnView& View() { return *frame->View(); }
    std::string Stored(const std::string& ip) {
        return ReadTextFile(dir.File("state/" + ip + "/terminal.reg"));
    }
};

#define START_CONSOLE(c)                                                          \
    Console c;                                                                    \
    if (!c.Start()) {                                                             \
        QSKIP_FOR_MISSING_PEER("pyftpdlib or the simulated fleet did not start"); \
    }

}  // namespace

class TransferDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void theCommandsOpenTheirDialogsTheNoticeFirst();
    void uploadClosesOnceTheTerminalAnsweredAndStaysOpenOtherwise();
    void submittedRequestIsCarriedOutAndTheDialogStays();
};

void TransferDialogsTest::theCommandsOpenTheirDialogsTheNoticeFirst() {
    START_CONSOLE(c);
    emit c.frame->updateCommandUi();
    QAction* upload = c.frame->CommandAction(cmd::kUploadConfiguration);
    QAction* submit = c.frame->CommandAction(cmd::kSubmitTransfer);
    QVERIFY(upload->isEnabled() && submit->isEnabled());
    c.View().Controls().terminalList->setCurrentItem(
        c.View().Controls().terminalList->topLevelItem(RowOf(kBare)));

    QStringList seen;
    WhenModal<CSecurityInfoDlg>([&](CSecurityInfoDlg& notice) {
        seen << notice.windowTitle();
        notice.accept();
        WhenModal<CUploadConfigDlg>([&](CUploadConfigDlg& dialog) {
            Ui::CUploadConfigDlg& ui = dialog.Controls();
            seen << dialog.windowTitle();
            for (int i = 0; i < ui.terminalList->count(); ++i) {
                seen << ui.terminalList->item(i)->text();
            }
            seen << QString::number(ui.terminalList->currentRow()) << ui.pathEdit->text();
            c.picker.answer = "/srv/picked";
            QTest::mouseClick(ui.browseButton, Qt::LeftButton);
            seen << c.picker.asked << ui.pathEdit->text();
            dialog.reject();
        });
    });
    upload->trigger();
    const QString configs = QString::fromStdString(c.dir.File("configs"));
    QCOMPARE(seen,
             QStringList({"Security Information", "Upload Configuration", "DESK", "QUIET", "BARE",
                          QString::number(RowOf(kBare)), configs, configs, "/srv/picked"}));
    QVERIFY(c.t->Messages().Texts().empty());

    QString target, trapId;
    WhenModal<CSubmitXferDlg>([&](CSubmitXferDlg& dialog) {
        target = dialog.Controls().targetEdit->text();
        trapId = dialog.Controls().trapIdEdit->text();
        dialog.accept();
    });
    submit->trigger();
    QCOMPARE(target, QString::fromStdString(kBare));
    QCOMPARE(trapId, QString::fromStdString(kBare.substr(kBare.size() - 10)));
    // Before any terminal was selected there is no one to send to.
    QVERIFY(!CSubmitXferDlg(c.t->Doc(), "", nullptr).Controls().submitButton->isEnabled());
}

void TransferDialogsTest::uploadClosesOnceTheTerminalAnsweredAndStaysOpenOtherwise() {
    START_CONSOLE(c);
    struct Case {
        std::string ip;
        bool stagingDown;  // the terminal sends the file; the console cannot fetch it
        bool closes;
        std::string message;
        QString monitorLine;  // what the Trap Monitor shows of the terminal's trap
    };
    const std::string path = c.dir.File("uploads");
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
        Ui::CUploadConfigDlg& ui = dialog.Controls();
        QCOMPARE(ui.terminalList->selectedItems().size(), 0);
        ui.terminalList->setCurrentRow(RowOf(k.ip));
        ui.pathEdit->setText(QString::fromStdString(path + "/"));
        QSignalSpy ended(&dialog, &CUploadConfigDlg::uploadEnded);
        QTest::mouseClick(ui.okButton, Qt::LeftButton);
        QVERIFY(dialog.IsUploading());
        QVERIFY(ended.wait(20000));
        QCOMPARE(c.t->Messages().Texts(), std::vector<std::string>{k.message});
        QCOMPARE(dialog.isVisible(), !k.closes);
        // Left open, the dialog keeps what the user typed and chose.
        QCOMPARE(ui.pathEdit->text(), QString::fromStdString(path + "/"));
        QCOMPARE(ui.terminalList->currentRow(), RowOf(k.ip));
        if (!k.monitorLine.isEmpty()) {
            CTrapMonitorDlg& monitor = *c.View().TrapMonitor();
            QTRY_VERIFY(monitor.Line(monitor.LineCounter() - 1) == k.monitorLine);
        }
    }
    // The file of the one success, byte for byte; configurations may hold secrets.
    QCOMPARE(ReadTextFile(path + "/terminal.reg"), c.Stored(kDesk));
    QCOMPARE(ModeOf(path), 0700u);
    QCOMPARE(ModeOf(path + "/terminal.reg"), 0600u);
    QCOMPARE(c.t->Doc().GetINIValueStr("Misc", "DnloadPath", IfMissing::Silent), path);
}

void TransferDialogsTest::submittedRequestIsCarriedOutAndTheDialogStays() {
    START_CONSOLE(c);
    const std::string registry =
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ThinClient\\Display]\r\n"
        "\"Resolution\"=\"1600x900\"\r\n";
    WriteTextFile(c.ftp.Root() + "/new.reg", registry);
    CSubmitXferDlg dialog(c.t->Doc(), kDesk, c.frame.get());
    dialog.show();
    Ui::CSubmitXferDlg& ui = dialog.Controls();
    QVERIFY(ui.downloadRadio->isChecked() && ui.binaryRadio->isChecked());
    QSignalSpy ended(&dialog, &CSubmitXferDlg::submitEnded);

    // A field left empty sends nothing.
    ui.sourceEdit->setText("/new.reg");
    ui.destEdit->setText("terminal.reg");
    QTest::mouseClick(ui.submitButton, Qt::LeftButton);
    QVERIFY(ended.wait(10000));
    QCOMPARE(c.t->Messages().Texts(), std::vector<std::string>{"Fill in all fields!"});

    c.t->Messages().Clear();
    ui.serverEdit->setText("127.0.0.1");
    ui.asciiRadio->setChecked(true);
    QTest::mouseClick(ui.submitButton, Qt::LeftButton);
    QVERIFY(ended.wait(10000));
    QCOMPARE(dialog.LastResult(), std::string("NoneNoneNone"));
    QVERIFY(c.t->Messages().Texts().empty());
    QVERIFY(dialog.isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(c.Stored(kDesk), registry, 10000);
}

QTEST_MAIN(TransferDialogsTest)
#include "TransferDialogsTest.moc"
