// The range scan of a whole /24 (127.0.0.1-254) with 20 simulated terminals
// and every other address silent: one address at a time against its floor
// (each silent address costs three probes of 200 ms), then with 32 and with
// 254 probes in flight, each as a ratio to the one-by-one run.
//
//   DiscoveryBench [--no-sequential]
#include <cstdio>
#include <cstring>

#include "BenchSupport.h"
#include "core/app/CTarnDoc.h"
#include "core/app/StartupSettings.h"
#include "core/common/ViewNotifications.h"
#include "core/discovery/DiscoveryControl.h"
#include "core/settings/SettingsPath.h"
#include "core/snmp/SnmpManager.h"
#include "core/terminals/TerminalDatabase.h"

namespace {

constexpr int kLive = 20;
constexpr int kHosts = 254;

// Terminals spread over the range: hosts 7, 19, 31, ...
std::string TerminalAddress(int i) {
    return "127.0.0." + std::to_string(7 + 12 * i);
}

class CountingMonitor final : public IDiscoverMonitor, public IViewNotifications {
public:
    void AddLine(const std::string& /*line*/) override { ++lines; }
    bool ProgressHasWindow() const override { return true; }
    void SetProgressPos(int /*position*/) override {}
    IViewNotifications& OwnerView() override { return *this; }
    void PostDiscoveryDone() override {}
    void PostTrapNewUnits() override {}
    int lines = 0;
};

struct Run {
    double seconds;
    std::size_t found;
    int lines;
};

Run Scan(CTarnDoc& doc, long width) {
    doc.State().Terminals().Clear();
    CountingMonitor monitor;
    auto start = Clock::now();
    SnmpScanThread(doc, monitor, {}, width);
    return {SecondsSince(start), doc.State().Terminals().Count(), monitor.lines};
}

}  // namespace

int main(int argc, char** argv) {
    bool sequential = !(argc > 1 && std::strcmp(argv[1], "--no-sequential") == 0);
    InitialiseSnmpLibrary();
    std::string dir = MakeTempDir();
    unsigned port = FreeUdpPortOn(TerminalAddress(0));
    std::string settings = dir + "/bench.ini";
    std::string text = DefaultSettingsText();
    text.insert(text.find("[Misc]\n") + 7, "SnmpPort=" + std::to_string(port) +
                                               "\nDiscoverIPSubNet=127.0.0\n"
                                               "DiscoverRangeLow=1\nDiscoverRangeHigh=254\n");
    WriteFile(settings, text);
    SharedState state(settings);
    std::string fleetFile = dir + "/fleet.ini";
    std::string fleetText;
    for (int i = 0; i < kLive; ++i) {
        fleetText += "[BENCH-" + std::to_string(i + 1) + "]\nAddress=" + TerminalAddress(i) + "\n";
    }
    WriteFile(fleetFile, fleetText);

    SimulatedFleet fleet({"--fleet", fleetFile, "--snmp-port", std::to_string(port), "--settings",
                          settings, "--no-broadcast"});
    PrintedMessages messages;
    CTarnDoc doc(messages, NetSnmpManager(), state);
    LoadProcessWideSettings(doc);
    if (!WaitUntilAnswering(doc, TerminalAddress(kLive - 1))) {
        std::fprintf(stderr, "the simulated fleet did not answer\n");
        return 1;
    }

    const int silent = kHosts - kLive;
    const double floor = silent * 3 * 0.2;
    std::printf("range 127.0.0.1-254: %d simulated terminals, %d silent addresses\n", kLive,
                silent);
    double oneByOne = 0;
    if (sequential) {
        Run run = Scan(doc, 1);
        oneByOne = run.seconds;
        std::printf(
            "one by one:    %7.2f s, %zu found; floor %.1f s (silent x 3 x 200 ms), "
            "ratio to floor %.3f\n",
            run.seconds, run.found, floor, run.seconds / floor);
    }
    for (long width : {32L, 254L}) {
        Run run = Scan(doc, width);
        std::printf("%3ld in flight: %7.2f s, %zu found", width, run.seconds, run.found);
        if (oneByOne > 0) {
            std::printf("; ratio to one by one %.4f (%.1fx faster)", run.seconds / oneByOne,
                        oneByOne / run.seconds);
        }
        std::printf("\n");
    }
    doc.State().Terminals().Clear();
    return 0;
}
