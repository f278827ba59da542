#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

#include "FakeTerminals.h"
#include "NetworkTestSupport.h"
#include "TestDocument.h"
#include "core/common/StringTable.h"
#include "core/terminals/TerminalDatabase.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CTarnView.h"
#include "gui/terminfo/CTerminalInfoDlg.h"
#include "ui_CTarnView.h"
#include "ui_CTerminalInfoDlg.h"

namespace {
QStringList Rows(const QListWidget& list) {
    QStringList rows;
    for (int i = 0; i < list.count(); ++i) {
        rows << list.item(i)->text();
    }
    return rows;
}
}  // namespace

class TerminalInfoDialogTest : public QObject {
    Q_OBJECT
private slots:
    void editsTheTerminalOfTheSelectedRowFromTheViewsCommand();
};

void TerminalInfoDialogTest::editsTheTerminalOfTheSelectedRowFromTheViewsCommand() {
    FakeSnmpManager snmp;
    TestDocument t(DefaultSettingsWith("TrapPort=" + std::to_string(FreeUdpPort()) + "\n"), &snmp);
    CMainFrame frame(t.Doc());
    CTarnView& view = *frame.View();
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    auto add = [&](const FakeTerminal& terminal) {
        AddFakeTerminal(snmp, terminal);
        QVERIFY(t.Doc().RegisterTerminal(terminal.ip));
    };
    add({.ip = "127.0.0.21", .name = "ALPHA", .location = "North", .mac = "0080641200AA"});
    add({.ip = "127.0.0.22", .name = "BETA", .location = "South", .mac = "0080641200BB"});
    QSignalSpy refreshed(&view, &CTarnView::refreshFinished);
    view.RefreshAndValidateAll();
    QVERIFY(refreshed.wait(10000));
    view.Controls().terminalList->setCurrentItem(view.Controls().terminalList->topLevelItem(1));
    // Registered after the refresh: the dialog lists it, the main list's rows do not know it.
    add({.ip = "127.0.0.23", .name = "LATE", .mac = "0080641200CC"});
    auto mainRows = [&] {
        QStringList rows;
        for (int i = 0; i < view.Controls().terminalList->topLevelItemCount(); ++i) {
            rows << view.Controls().terminalList->topLevelItem(i)->text(0);
        }
        return rows;
    };

    emit frame.updateCommandUi();
    QAction* command = frame.CommandAction(cmd::kConfigureTerminalInfo);
    QVERIFY(command->isEnabled());
    bool driven = false;
    QTimer::singleShot(50, [&] {
        auto* dialog = qobject_cast<CTerminalInfoDlg*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        Ui::CTerminalInfoDlg& ui = dialog->Controls();
        QSignalSpy finished(dialog, &CTerminalInfoDlg::workFinished);
        auto click = [&](QAbstractButton* button, bool work) {
            t.Messages().Clear();
            QTest::mouseClick(button, Qt::LeftButton);
            if (work) {
                QVERIFY(finished.wait(10000));
            }
        };
        QCOMPARE(Rows(*ui.targetList), QStringList({"ALPHA", "BETA", "LATE"}));
        QCOMPARE(ui.targetList->currentRow(), 1);
        QVERIFY(ui.blankIgnoreRadio->isChecked());

        click(ui.getTargetButton, true);
        QCOMPARE(ui.nameEdit->text() + "|" + ui.locationEdit->text() + "|" + ui.field3Edit->text(),
                 QString("BETA|South|c3"));

        ui.nameEdit->setText("ALPHA");
        click(ui.setTargetButton, true);
        QCOMPARE(t.Messages().Texts(),
                 std::vector<std::string>{"Duplicate Name Found, Please Select Another"});
        ui.targetList->setCurrentRow(2);
        click(ui.setTargetButton, false);
        QCOMPARE(t.Messages().Texts(),
                 std::vector<std::string>{LoadResString(ids::kTerminalNotInList)});
        QCOMPARE(snmp.agents["127.0.0.22"][".1.3.6.1.2.1.1.5.0"].octets.size(), 4u);  // BETA
        QCOMPARE(snmp.agents["127.0.0.23"][".1.3.6.1.2.1.1.5.0"].octets.size(), 4u);  // LATE
        ui.targetList->setCurrentRow(1);
        ui.nameEdit->setText("BRAVO");
        ui.locationEdit->clear();
        click(ui.setTargetButton, true);
        QCOMPARE(t.Messages().Texts(),
                 std::vector<std::string>{"Terminal Information Update Complete"});
        QCOMPARE(Rows(*ui.targetList), QStringList({"ALPHA", "BRAVO", "LATE"}));
        QCOMPARE(ui.targetList->currentRow(), 1);
        QCOMPARE(mainRows(), QStringList({"ALPHA", "BRAVO", "LATE"}));
        QCOMPARE(t.Terminals().FindByIP("127.0.0.22")->record.m_location, std::string("South"));

        click(ui.clearFieldsButton, false);
        QCOMPARE(ui.nameEdit->text() + ui.contactEdit->text() + ui.field1Edit->text(), QString());
        click(ui.exitButton, false);
        driven = true;
    });
    refreshed.clear();
    command->trigger();
    QVERIFY(driven);
    // Closing the dialog refreshes the list, which reads the new name back.
    QVERIFY(refreshed.count() > 0 || refreshed.wait(10000));
    QCOMPARE(mainRows(), QStringList({"ALPHA", "BRAVO", "LATE"}));
}

QTEST_MAIN(TerminalInfoDialogTest)
#include "TerminalInfoDialogTest.moc"
