#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <stop_token>
#include <thread>

#include "core/common/ProgressNotice.h"

class CProgressNoticeDlg;
class InputBlocker;

// Runs a dialog's long operation (SNMP sequences, FTP transfers, waits for a
// trap) on a worker thread, so the window never freezes. While it runs, the
// dialog's progress notice shows the step the worker reports, input to every
// window is discarded except to the message boxes the worker raises (they wait
// for the user), and the wait cursor shows. `done` runs on the GUI thread once
// the worker has ended; the notice is then taken down.
class DialogWorker : public QObject {
    Q_OBJECT
public:
    using Work = std::function<void(std::stop_token, IProgressNotice&)>;

    DialogWorker(CProgressNoticeDlg& notice, QObject* parent = nullptr);
    // Asks a running worker to stop and waits for it.
    ~DialogWorker() override;

    // Starts `work`; false (and nothing started) while another run goes on.
    bool Start(Work work, std::function<void()> done = {});
    bool IsRunning() const { return m_running; }
    // Asks the running worker to stop; it still ends through `done`.
    void RequestStop();

signals:
    void finished();

private:
    class PostedNotice;
    void Finish();

    CProgressNoticeDlg& m_notice;
    std::unique_ptr<PostedNotice> m_postedNotice;
    std::unique_ptr<InputBlocker> m_inputBlocker;
    std::function<void()> m_done;
    bool m_running = false;
    std::jthread m_thread;
};
