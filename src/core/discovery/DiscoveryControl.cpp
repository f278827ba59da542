#include "core/discovery/DiscoveryControl.h"

#include "core/app/CTarnDoc.h"
#include "core/app/WorkerDocument.h"
#include "core/common/StringTable.h"
#include "core/common/TextFormat.h"
#include "core/common/ViewNotifications.h"
#include "core/discovery/SubnetList.h"

ManualResetEvent stopDiscoverEvent;

bool DiscoveryStopRequested(IDiscoverMonitor& monitor, const std::function<void()>& release) {
    if (!stopDiscoverEvent.IsSet()) {
        return false;
    }
    stopDiscoverEvent.Reset();
    if (release) {
        release();
    }
    monitor.OwnerView().PostDiscoveryDone();
    return true;
}

void WriteTerminalBlock(IDiscoverMonitor& monitor, const std::string& name,
                        const std::string& description, const std::string& terminalIP) {
    monitor.AddLine("");
    monitor.AddLine(name);
    monitor.AddLine(description);
    monitor.AddLine(terminalIP);
    monitor.AddLine(kSeparatorLine);
}

DiscoverRange ReadDiscoverRange(CTarnDoc& doc) {
    DiscoverRange range;
    range.low =
        static_cast<std::uint32_t>(ToLong(doc.GetINIValueStr("Misc", "DiscoverRangeLow", 1)));
    range.high =
        static_cast<std::uint32_t>(ToLong(doc.GetINIValueStr("Misc", "DiscoverRangeHigh", 1)));
    return range;
}

void DiscoveryWorker::Start(CTarnDoc& doc, IDiscoverMonitor& monitor,
                            std::optional<long> parallel) {
    stopDiscoverEvent.Reset();
    bool broadcast = doc.GetINIValueStr("Misc", "DiscoverMethod", 1) == "BCAST";
    m_finished = false;
    m_thread = std::jthread([this, &doc, &monitor, broadcast, parallel](std::stop_token stop) {
        WorkerDocument worker(doc, std::move(stop));
        m_exitCode = broadcast ? BroadcastScanThread(worker.Doc(), monitor)
                               : SnmpScanThread(worker.Doc(), monitor, parallel);
    });
}

unsigned DiscoveryWorker::Join() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
    return m_exitCode;
}

bool LoadSubnetListForRun(CTarnDoc& doc, IDiscoverMonitor& monitor) {
    std::string list = doc.GetINIValueStr("Misc", "DiscoverIPSubNet", 1);
    g_strDiscoverIPSubNet.Set(list);
    if (ParseSubnetList(list)) {
        return true;
    }
    doc.Messages().ShowMessage(LoadResString(ids::kBadSubnetInIni), MessageIcon::Warning);
    monitor.OwnerView().PostDiscoveryDone();
    return false;
}
