#include <QListWidget>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <filesystem>

#include "FakeTerminals.h"
#include "MissingPeer.h"
#include "NetworkTestSupport.h"
#include "PyFtpServer.h"
#include "TestDocument.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CTarnView.h"
#include "gui/common/DialogWorker.h"
#include "gui/firmware/CDownloadFirmwareDlg.h"
#include "gui/transfer/CProgressNoticeDlg.h"
#include "ui_CDownloadFirmwareDlg.h"

namespace {

const std::string kPrefix = ".1.3.6.1.4.1.32473.10";

class AnsweringPicker final : public IFolderPicker {
public:
    explicit AnsweringPicker(QString answer) : m_answer(std::move(answer)) {}
    QString PickFolder(QWidget*, const QString& start) override {
        asked = start;
        return m_answer;
    }
    QString asked;

private:
    QString m_answer;
};

// The objects of a transfer request, so that the scripted terminal takes it;
// with `trapDestination` false it has no trap destination object to write.
void AddTransferObjects(FakeSnmpManager& snmp, const std::string& ip, bool trapDestination) {
    auto& objects = snmp.agents[ip];
    if (trapDestination) {
        objects[kPrefix + ".3.5.0"] = FakeSnmpManager::Text("");
    }
    for (int n : {1, 3, 6, 7, 11, 12}) {
        objects[kPrefix + ".4." + std::to_string(n) + ".0"] = FakeSnmpManager::Integer(0);
    }
    for (int n : {2, 4, 5, 8}) {
        objects[kPrefix + ".4." + std::to_string(n) + ".0"] = FakeSnmpManager::Text("");
    }
}

// The submit object, written last, tells that the whole request went out.
bool SubmitSentTo(const FakeSnmpManager& snmp, const std::string& ip) {
    return snmp.agents.at(ip).at(kPrefix + ".4.12.0").integer == 1;
}

}  // namespace

class DownloadFirmwareDialogTest : public QObject {
    Q_OBJECT
private slots:
    void checksKeepTheDialogOpenAndARunClosesIt();
    void theViewOpensTheDialogFromItsCommand();
};

void DownloadFirmwareDialogTest::checksKeepTheDialogOpenAndARunClosesIt() {
    PyFtpServer ftp;
    if (!ftp.Ready()) {
        QSKIP_FOR_MISSING_PEER("pyftpdlib did not start: " + ftp.Log());
    }
    TempDir dir;
    const std::string firmware = dir.File("fw");
    std::filesystem::create_directories(firmware);
    WriteTextFile(firmware + "/params.ini", "[Image]\nImageFileName=fw.bin\n");
    WriteTextFile(firmware + "/fw.bin", "image");

    FakeSnmpManager snmp;
    TestDocument t(DefaultSettingsWith("TrapPort=" + std::to_string(FreeUdpPort()) +
                                       "\nFTPServerPort=" + std::to_string(ftp.Port()) +
                                       "\nLocalHostIP=127.0.0.1\nDnloadFWPath=/old/firmware\n"),
                   &snmp);
    t.Doc().WriteINIValueStr("Misc", "FTPServerName", "127.0.0.1");
    FakeTerminal first{.ip = "127.0.0.21", .name = "FIRST", .mac = "00806412AB01"};
    FakeTerminal second{.ip = "127.0.0.22", .name = "SECOND", .mac = "00806412AB02"};
    for (const auto& terminal : {first, second}) {
        AddFakeTerminal(snmp, terminal);
        AddTransferObjects(snmp, terminal.ip, terminal.ip == first.ip);
        QVERIFY(t.Doc().RegisterTerminal(terminal.ip));
    }
    CMainFrame frame(t.Doc());
    CTarnView& view = *frame.View();
    {
        QSignalSpy refreshed(&view, &CTarnView::refreshFinished);
        view.RefreshAndValidateAll();
        QVERIFY(refreshed.wait(10000));
    }
    AnsweringPicker picker(QString::fromStdString(firmware + "/"));
    view.SetFolderPicker(picker);

    CDownloadFirmwareDlg dialog(t.Doc(), view.MacByItem(), view.FolderPicker(), &frame);
    dialog.show();
    auto& ui = dialog.Controls();
    QCOMPARE(ui.destinationList->count(), 2);
    QCOMPARE(ui.destinationList->item(1)->text(), QString("SECOND"));
    QVERIFY(ui.destinationList->selectedItems().isEmpty());
    QCOMPARE(ui.firmwarePathEdit->text(), QString("/old/firmware"));
    QTest::mouseClick(ui.browseButton, Qt::LeftButton);
    QCOMPARE(picker.asked, QString("/old/firmware"));
    QCOMPARE(ui.firmwarePathEdit->text(), QString::fromStdString(firmware + "/"));

    // A failed check: its message, and the dialog stays open with its input.
    auto runOk = [&] {
        QTest::mouseClick(ui.okButton, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunning(), 20000);
    };
    runOk();
    QCOMPARE(t.Messages().Texts(),
             std::vector<std::string>{
                 "Terminal(s) Must Be Selected Before Configuration Transfer Can Occur"});
    QVERIFY(dialog.isVisible());
    QCOMPARE(ui.firmwarePathEdit->text(), QString::fromStdString(firmware + "/"));

    // Both selected: the second lacks a trap destination and is skipped; the
    // first fetches; the dialog closes and the directory is kept.
    t.Messages().Clear();
    ui.destinationList->item(0)->setSelected(true);
    ui.destinationList->item(1)->setSelected(true);
    QSignalSpy finished(&dialog, &QDialog::finished);
    runOk();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    std::vector<std::string> messages = t.Messages().Texts();
    QCOMPARE(messages.size(), std::size_t(2));
    QVERIFY2(messages[0].rfind("SECOND- Set Trap Server Error -\n", 0) == 0, messages[0].c_str());
    QVERIFY(messages[1].rfind("Download Firmware Request(s) Complete Using Files From:", 0) == 0);
    QVERIFY(SubmitSentTo(snmp, first.ip));
    QVERIFY(!SubmitSentTo(snmp, second.ip));
    QCOMPARE(snmp.agents.at(first.ip).at(kPrefix + ".3.5.0").octets.size(), std::size_t(9));
    QCOMPARE(ReadTextFile(ftp.Root() + "/fw.bin"), std::string("image"));
    QCOMPARE(t.Doc().GetINIValueStr("Misc", "DnloadFWPath", 0), firmware);
    QVERIFY(!dialog.Notice().HasWindow());
    QCOMPARE(dialog.Notice().Line1(),
             QString("Sending Download Configuration Request to Terminal(s)"));
}

void DownloadFirmwareDialogTest::theViewOpensTheDialogFromItsCommand() {
    FakeSnmpManager snmp;
    TestDocument t(DefaultSettingsWith("TrapPort=" + std::to_string(FreeUdpPort()) + "\n"), &snmp);
    CMainFrame frame(t.Doc());
    QAction* command = frame.CommandAction(cmd::kDownloadFirmware);
    emit frame.updateCommandUi();
    QVERIFY(!command->isEnabled());

    AddFakeTerminal(snmp, FakeTerminal{.ip = "127.0.0.21", .name = "ONLY"});
    QVERIFY(t.Doc().RegisterTerminal("127.0.0.21"));
    emit frame.updateCommandUi();
    QVERIFY(command->isEnabled());
    QStringList listed;
    QTimer::singleShot(50, [&] {
        if (auto* dialog = qobject_cast<CDownloadFirmwareDlg*>(QApplication::activeModalWidget())) {
            for (int row = 0; row < dialog->Controls().destinationList->count(); ++row) {
                listed << dialog->Controls().destinationList->item(row)->text();
            }
            dialog->reject();
        }
    });
    command->trigger();
    QCOMPARE(listed, QStringList{"ONLY"});
}

QTEST_MAIN(DownloadFirmwareDialogTest)
#include "DownloadFirmwareDialogTest.moc"
