#include "gui/common/DialogWorker.h"

#include <QApplication>

#include "gui/common/InputBlocker.h"
#include "gui/transfer/CProgressNoticeDlg.h"

// The worker's notice calls, posted to the GUI thread in the order they were
// made, so they interleave correctly with the message boxes the worker raises.
class DialogWorker::PostedNotice final : public IProgressNotice {
public:
    PostedNotice(DialogWorker* owner, CProgressNoticeDlg& notice)
        : m_owner(owner), m_notice(notice) {}

    void SetMessages(const std::string& line1, const std::string& line2) override {
        Post([this, one = QString::fromStdString(line1), two = QString::fromStdString(line2)] {
            if (!m_notice.HasWindow()) {
                m_notice.Create();
            }
            m_notice.SetMessages(one, two);
        });
    }
    void Close() override {
        Post([this] { m_notice.DestroyWindow(); });
    }

private:
    template <typename F>
    void Post(F action) {
        QMetaObject::invokeMethod(m_owner, std::move(action), Qt::QueuedConnection);
    }

    DialogWorker* m_owner;
    CProgressNoticeDlg& m_notice;
};

DialogWorker::DialogWorker(CProgressNoticeDlg& notice, QObject* parent)
    : QObject(parent),
      m_notice(notice),
      m_postedNotice(std::make_unique<PostedNotice>(this, notice)) {}

DialogWorker::~DialogWorker() {
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_thread.join();
    }
    if (m_running) {
        QApplication::restoreOverrideCursor();
    }
}

bool DialogWorker::Start(Work work, std::function<void()> done) {
    if (m_running) {
        return false;
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_running = true;
    m_done = std::move(done);
    m_inputBlocker = std::make_unique<InputBlocker>();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_thread = std::jthread([this, work = std::move(work)](std::stop_token stop) {
        work(stop, *m_postedNotice);
        QMetaObject::invokeMethod(this, &DialogWorker::Finish, Qt::QueuedConnection);
    });
    return true;
}

void DialogWorker::RequestStop() {
    m_thread.request_stop();
}

void DialogWorker::Finish() {
    m_thread.join();
    m_notice.DestroyWindow();
    m_inputBlocker.reset();
    QApplication::restoreOverrideCursor();
    m_running = false;
    if (auto done = std::move(m_done)) {
        m_done = nullptr;
        done();
    }
    emit finished();
}
