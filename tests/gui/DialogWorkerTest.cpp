#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "gui/common/DialogWorker.h"
#include "gui/common/GuiUserMessages.h"
#include "gui/transfer/CProgressNoticeDlg.h"

namespace {
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

// Dismisses the next message box that appears.
void DismissNextMessageBox(QString* seen) {
    QTimer::singleShot(20, [seen] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                *seen = box->text();
                box->accept();
                return;
            }
        }
        DismissNextMessageBox(seen);
    });
}
}  // namespace

class DialogWorkerTest : public QObject {
    Q_OBJECT
private slots:
    void noticeFollowsTheStepsWhileInputIsDiscarded();
    void destroyingTheDialogStopsTheWorker();
};

void DialogWorkerTest::noticeFollowsTheStepsWhileInputIsDiscarded() {
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
    DismissNextMessageBox(&boxText);
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

void DialogWorkerTest::destroyingTheDialogStopsTheWorker() {
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

QTEST_MAIN(DialogWorkerTest)
#include "DialogWorkerTest.moc"
