#include "core/discovery/DiscoveryControl.h"

#include <algorithm>

#include "core/app/CTarnDoc.h"
#include "core/app/WorkerDocument.h"
#include "core/common/LineEscape.h"
#include "core/common/StringTable.h"
#include "core/common/TextFormat.h"
#include "core/common/ViewNotifications.h"
#include "core/discovery/SubnetList.h"

bool DiscoveryStopRequested(IDiscoverMonitor& monitor, const std::stop_token& stop,
                            const std::function<void()>& release) {
    if (!stop.stop_requested() || !monitor.ProgressHasWindow()) {
        return false;
    }
    if (release) {
        release();
    }
    monitor.OwnerView().PostDiscoveryDone();
    return true;
}

void WriteTerminalBlock(IDiscoverMonitor& monitor, const std::string& name,
                        const std::string& description, const std::string& terminalIP) {
    monitor.AddLine("");
    // Both come from the terminal: they must not break or forge lines.
    monitor.AddLine(EscapeForLine(name));
    monitor.AddLine(EscapeForLine(description));
    monitor.AddLine(terminalIP);
    monitor.AddLine(kSeparatorLine);
}

DiscoverRange ReadDiscoverRange(CTarnDoc& doc) {
    // A host number is one byte of an address: anything outside 0..255 in an
    // edited file is taken as the nearest end, so no range outgrows a subnet.
    auto host = [&doc](const char* key) {
        long number = ToLong(doc.GetINIValueStr("Misc", key, IfMissing::Report));
        return static_cast<std::uint32_t>(std::clamp(number, 0L, 255L));
    };
    DiscoverRange range;
    range.low = host("DiscoverRangeLow");
    range.high = host("DiscoverRangeHigh");
    return range;
}

void DiscoveryWorker::Start(CTarnDoc& doc, IDiscoverMonitor& monitor,
                            std::optional<long> parallel) {
    bool broadcast = doc.GetINIValueStr("Misc", "DiscoverMethod", IfMissing::Report) == "BCAST";
    m_finished = false;
    m_thread = std::jthread([this, &doc, &monitor, broadcast, parallel](std::stop_token stop) {
        WorkerDocument worker(doc, stop);
        m_exitCode = broadcast ? BroadcastScanThread(worker.Doc(), monitor, stop)
                               : SnmpScanThread(worker.Doc(), monitor, stop, parallel);
        m_finished = true;
    });
}

unsigned DiscoveryWorker::Join() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
    return m_exitCode;
}

bool LoadSubnetListForRun(CTarnDoc& doc, IDiscoverMonitor& monitor) {
    // A list of many subnets is longer than one read buffer: it is read whole,
    // or a cut-off last entry would name a subnet nobody listed.
    std::string list = doc.GetINIValueStrWhole("Misc", "DiscoverIPSubNet", IfMissing::Report);
    if (ParseSubnetList(list, doc.State().Subnets())) {
        return true;
    }
    doc.Messages().ShowMessage(LoadResString(ids::kBadSubnetInIni), MessageIcon::Warning);
    monitor.OwnerView().PostDiscoveryDone();
    return false;
}
