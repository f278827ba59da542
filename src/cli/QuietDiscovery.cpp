#include "cli/QuietDiscovery.h"

#include "core/common/ViewNotifications.h"
#include "core/discovery/DiscoveryControl.h"

namespace {

// A discovery monitor that keeps nothing: the caller waits for the thread.
class QuietMonitor final : public IDiscoverMonitor, public IViewNotifications {
public:
    void AddLine(const std::string& /*line*/) override {}
    bool ProgressHasWindow() const override { return true; }
    void SetProgressPos(int /*position*/) override {}
    IViewNotifications& OwnerView() override { return *this; }
    void PostDiscoveryDone() override {}
    void PostTrapNewUnits() override {}
};

}  // namespace

unsigned RunQuietDiscovery(CTarnDoc& doc) {
    QuietMonitor monitor;
    DiscoveryWorker worker;
    worker.Start(doc, monitor);
    return worker.Join();
}
