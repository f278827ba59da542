#pragma once

// What the GUI tests share: controls found by their objectName, modal windows
// answered as they show, a folder picker answered in advance, and the main
// window over a scripted fleet.
#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QSignalSpy>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <functional>

#include "FakeTerminals.h"
#include "NetworkTestSupport.h"
#include "TestDocument.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CTarnView.h"
#include "gui/common/FileSavePicker.h"
#include "gui/common/FolderPicker.h"

// The control of that objectName and type inside `window`; the test stops when
// there is none.
template <typename T = QWidget>
T* Child(const QObject* window, const char* name) {
    T* control = window ? window->findChild<T*>(name) : nullptr;
    if (!control) {
        qFatal("no control %s", name);
    }
    return control;
}

inline void Click(const QObject* window, const char* button) {
    QTest::mouseClick(Child<QAbstractButton>(window, button), Qt::LeftButton);
}

// The rows' texts of a list (column 0 of a tree).
inline QStringList Texts(const QListWidget* list, bool selectedOnly = false) {
    QStringList texts;
    for (int row = 0; row < list->count(); ++row) {
        if (!selectedOnly || list->item(row)->isSelected()) {
            texts << list->item(row)->text();
        }
    }
    return texts;
}
inline QStringList Texts(const QTreeWidget* tree) {
    QStringList texts;
    for (int row = 0; row < tree->topLevelItemCount(); ++row) {
        texts << tree->topLevelItem(row)->text(0);
    }
    return texts;
}

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

// Answers the "..." buttons with a folder given in advance ("": cancelled).
class AnsweringPicker final : public IFolderPicker {
public:
    QString PickFolder(QWidget* /*parent*/, const QString& start) override {
        asked = start;
        return answer;
    }
    QString answer;
    QString asked;
};

// Answers the save dialog with a file given in advance ("": cancelled).
class AnsweringSavePicker final : public IFileSavePicker {
public:
    explicit AnsweringSavePicker(QString answer) : m_answer(std::move(answer)) {}
    QString PickSaveFile(QWidget*, const QString&, const QString&) override { return m_answer; }

private:
    QString m_answer;
};

// The main window shown over a document of its own, its SNMP requests answered
// by a scripted fleet, its Trap Monitor on a free port.
struct ShownConsole {
    explicit ShownConsole(const std::string& extraMisc = "", bool show = true)
        : t(DefaultSettingsWith(extraMisc, {.trap = trapPort}), &snmp) {
        if (show) {
            Show();
        }
    }
    void Show() {
        frame->show();
        if (!QTest::qWaitForWindowExposed(frame.get())) {
            qWarning("main window not exposed");
        }
        if (view.IsRefreshing()) {
            QSignalSpy(&view, &CTarnView::refreshFinished).wait(10000);
        }
    }
    void Add(const FakeTerminal& terminal) {
        AddFakeTerminal(snmp, terminal);
        t.Doc().RegisterTerminal(terminal.ip);
    }
    bool Refresh() {
        QSignalSpy done(&view, &CTarnView::refreshFinished);
        view.RefreshAndValidateAll();
        return done.wait(10000);
    }
    QAction* Command(int id) {
        emit frame->updateCommandUi();
        return frame->CommandAction(id);
    }
    QTreeWidget* List() { return Child<QTreeWidget>(&view, "terminalList"); }
    QStringList Names() { return Texts(List()); }

    FakeSnmpManager snmp;
    unsigned trapPort = FreeUdpPort();
    TestDocument t;
    std::unique_ptr<CMainFrame> frame = std::make_unique<CMainFrame>(t.Doc());
    CTarnView& view = *frame->View();
};
