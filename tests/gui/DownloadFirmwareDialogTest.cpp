#include <QListWidget>
#include <QSignalSpy>
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
    QString PickFolder(QWidget*, const QString&) override { return m_answer; }

private:
    QString m_answer;
};

// The trap destination and transfer objects, so that the scripted terminal
// takes a request.
void AddTransferObjects(FakeSnmpManager& snmp, const std::string& ip) {
    auto& objects = snmp.agents[ip];
    objects[kPrefix + ".3.5.0"] = FakeSnmpManager::Text("");
    for (int n : {1, 3, 6, 7, 11, 12}) {
        objects[kPrefix + ".4." + std::to_string(n) + ".0"] = FakeSnmpManager::Integer(0);
    }
    for (int n : {2, 4, 5, 8}) {
        objects[kPrefix + ".4." + std::to_string(n) + ".0"] = FakeSnmpManager::Text("");
    }
}

}  // namespace

class DownloadFirmwareDialogTest : public QObject {
    Q_OBJECT
private slots:
    void checksKeepTheDialogOpenAndARunClosesIt();
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
        QVERIFY(t.Doc().RegisterTerminal(terminal.ip));
    }
    AddTransferObjects(snmp, first.ip);
    CMainFrame frame(t.Doc());
    CTarnView& view = *frame.View();
    emit frame.updateCommandUi();
    QVERIFY(frame.CommandAction(cmd::kDownloadFirmware)->isEnabled());
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
    QVERIFY(ui.destinationList->selectedItems().isEmpty());
    QCOMPARE(ui.firmwarePathEdit->text(), QString("/old/firmware"));
    QTest::mouseClick(ui.browseButton, Qt::LeftButton);
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
    // first gets its request; the dialog closes and the directory is kept.
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
    // The submit object, written last: the whole request went out.
    QCOMPARE(snmp.agents.at(first.ip).at(kPrefix + ".4.12.0").integer, 1LL);
    QCOMPARE(ReadTextFile(ftp.Root() + "/fw.bin"), std::string("image"));
    QCOMPARE(t.Doc().GetINIValueStr("Misc", "DnloadFWPath", IfMissing::Silent), firmware);
    QVERIFY(!dialog.Notice().HasWindow());
}

QTEST_MAIN(DownloadFirmwareDialogTest)
#include "DownloadFirmwareDialogTest.moc"
