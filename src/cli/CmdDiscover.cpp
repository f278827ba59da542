// discover: one discovery run of the configured method, its log printed as it
// comes, then the refreshed terminal list.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <ostream>

#include "cli/CliCommandsList.h"
#include "core/app/CTarnDoc.h"
#include "core/common/ManualResetEvent.h"
#include "core/common/ViewNotifications.h"
#include "core/discovery/DiscoveryControl.h"
#include "core/terminals/RefreshTerminals.h"

namespace {

// The Discover Monitor of the command line: the log goes to standard output,
// the end of the run releases the waiting command.
class PrintingMonitor final : public IDiscoverMonitor, public IViewNotifications {
public:
    explicit PrintingMonitor(std::ostream& out) : m_out(out) {}

    void AddLine(const std::string& line) override {
        std::lock_guard lock(m_mutex);
        m_out << line << std::endl;
    }
    bool ProgressHasWindow() const override { return true; }
    void SetProgressPos(int /*position*/) override {}
    IViewNotifications& OwnerView() override { return *this; }

    void PostDiscoveryDone() override { m_done.Set(); }
    void PostTrapNewUnits() override {}

    bool WaitUntilDone(std::chrono::milliseconds timeout) const { return m_done.WaitFor(timeout); }

private:
    std::ostream& m_out;
    std::mutex m_mutex;
    ManualResetEvent m_done;
};

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int /*signal*/) {
    g_interrupted = 1;
}

// Ctrl-C during the run is a stop request, as the monitor's close box is.
class InterruptAsStop {
public:
    InterruptAsStop() {
        g_interrupted = 0;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &m_previous);
    }
    ~InterruptAsStop() { ::sigaction(SIGINT, &m_previous, nullptr); }
    InterruptAsStop(const InterruptAsStop&) = delete;
    InterruptAsStop& operator=(const InterruptAsStop&) = delete;

private:
    struct sigaction m_previous {};
};

}  // namespace

int RunDiscoverCommand(CliContext& context) {
    std::optional<long> parallel;
    const auto& args = context.args;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--parallel" && i + 1 < args.size()) {
            char* end = nullptr;
            long width = std::strtol(args[i + 1].c_str(), &end, 10);
            if (end && *end == '\0' && width >= 1) {
                parallel = width;
                ++i;
                continue;
            }
        }
        context.err << "usage: fleetwarden-cli discover [--parallel N]   (N at least 1)"
                    << std::endl;
        return 2;
    }

    std::size_t messagesBefore = context.messages.Shown();
    PrintingMonitor monitor(context.out);
    DiscoveryWorker worker;
    {
        InterruptAsStop interrupts;
        worker.Start(context.doc, monitor, parallel);
        while (!monitor.WaitUntilDone(std::chrono::milliseconds(100))) {
            if (g_interrupted != 0) {
                g_interrupted = 0;
                worker.RequestStop();
            }
        }
    }
    unsigned exitCode = worker.Join();
    bool quiet = context.messages.Shown() == messagesBefore;

    // As the console does when a run ends: refresh, then show the list.
    RefreshAndValidateTerminals(context.doc);
    PrintTerminalList(context, false);
    return exitCode == kDiscoveryEnded && quiet ? 0 : 1;
}
