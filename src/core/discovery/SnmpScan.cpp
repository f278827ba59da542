// The range scan: a short GET of the system name to every host address of the
// configured range on every subnet; each terminal that answers is registered
// and, when new, logged.
#include <arpa/inet.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "core/app/CTarnDoc.h"
#include "core/common/StringTable.h"
#include "core/common/TextFormat.h"
#include "core/common/ViewNotifications.h"
#include "core/discovery/DiscoveryControl.h"
#include "core/discovery/ProbeAhead.h"
#include "core/discovery/SubnetList.h"

namespace {

// Each probe in flight holds a socket that net-snmp waits on with select(),
// which cannot watch descriptors above 1023: the width stays well below that.
constexpr long kMaxParallelProbes = 256;

// The addresses of a scan in the order it visits them: subnet by subnet, each
// from low to high. Counted in 64 bits, so that no range read from the
// settings file can make the count wrap.
struct ScanOrder {
    std::vector<std::string> subnets;
    std::uint32_t low = 0;
    std::uint32_t high = 0;

    std::uint64_t HostsPerSubnet() const { return low > high ? 0 : std::uint64_t{high} - low + 1; }
    std::uint64_t Count() const { return HostsPerSubnet() * subnets.size(); }
    std::size_t Subnet(std::uint64_t k) const {
        return static_cast<std::size_t>(k / HostsPerSubnet());
    }
    std::uint32_t Host(std::uint64_t k) const {
        return static_cast<std::uint32_t>(low + k % HostsPerSubnet());
    }
    std::string Address(std::uint64_t k) const {
        return FormatText("%s.%d", subnets[Subnet(k)].c_str(), static_cast<int>(Host(k)));
    }
    // Walks the bar's range 0..high-low once over all subnets, each subnet
    // taking an equal slice.
    int Progress(std::uint64_t k) const {
        auto n = static_cast<std::uint32_t>(subnets.size());
        auto i = static_cast<std::uint32_t>(Subnet(k));
        return static_cast<int>(i * ((high - low) / n) + (Host(k) - low) / n);
    }
};

// A host number beyond 255 (from an edited settings file) does not make an
// address; it would only make the SNMP layer look the text up as a host name.
bool IsDottedAddress(const std::string& text) {
    in_addr address{};
    return ::inet_aton(text.c_str(), &address) != 0;
}

SnmpOutcome Probe(CTarnDoc& doc, const std::string& terminalIP) {
    return IsDottedAddress(terminalIP) ? ProbeTerminalName(doc, terminalIP)
                                       : SnmpOutcome{"NotAnAddressError", false};
}

}  // namespace

SnmpOutcome ProbeTerminalName(CTarnDoc& doc, const std::string& terminalIP) {
    // A silent address costs at most three tries of 200 ms.
    constexpr int kProbeTimeoutMs = 200;
    constexpr int kProbeRetries = 2;
    return doc.GetSnmpOutcome(terminalIP, "OidSysName", 0, kProbeTimeoutMs, kProbeRetries);
}

unsigned SnmpScanThread(CTarnDoc& doc, IDiscoverMonitor& monitor, std::stop_token stop,
                        std::optional<long> parallel) {
    DiscoverRange range = ReadDiscoverRange(doc);
    if (!LoadSubnetListForRun(doc, monitor)) {
        return kDiscoveryEnded;
    }
    ScanOrder order{doc.State().Subnets().Entries(), range.low, range.high};

    // With more than one probe in flight, the probes run ahead of the scan on
    // their own threads; everything else (the stop check, the progress, the
    // registration and the log) still happens here, address by address, so
    // the run differs from a one-by-one scan only in time.
    long width =
        std::clamp(parallel ? *parallel : doc.GetOptionalININumber("Misc", "DiscoverParallel", 1),
                   1L, kMaxParallelProbes);
    std::unique_ptr<ProbeAhead> ahead;
    if (width > 1 && order.Count() > 1) {
        // Once the window is gone the scan passes over every address left, so
        // no probe may go out for them either.
        auto probe = [&doc, &order, &monitor](std::uint64_t k) {
            return monitor.ProgressHasWindow() ? Probe(doc, order.Address(k))
                                               : SnmpOutcome{"NoWindowError", false};
        };
        ahead = std::make_unique<ProbeAhead>(static_cast<std::size_t>(width), order.Count(), probe);
    }
    auto release = [&ahead] {
        if (ahead) {
            ahead->Cancel();
        }
    };

    for (std::uint64_t k = 0; k < order.Count(); ++k) {
        if (DiscoveryStopRequested(monitor, stop, release)) {
            return kDiscoveryStopped;
        }
        if (!monitor.ProgressHasWindow()) {
            continue;
        }
        monitor.SetProgressPos(order.Progress(k));
        std::string terminalIP = order.Address(k);
        // Any answer counts, even a name that reads like a failure text.
        SnmpOutcome probe = ahead ? ahead->Take(k) : Probe(doc, terminalIP);
        if (!probe.ok) {
            continue;
        }
        if (!doc.RegisterTerminal(terminalIP)) {
            continue;
        }
        WriteTerminalBlock(monitor, probe.text, doc.GetSnmpValue(terminalIP, "OidSysDesc"),
                           terminalIP);
    }
    release();
    monitor.OwnerView().PostDiscoveryDone();
    return kDiscoveryEnded;
}
