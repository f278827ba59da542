// The configuration download to 1,000 simulated terminals, 50 of them silent
// (every twentieth), against pyftpdlib as the staging server: one terminal
// after another, then 32 in flight ("Misc"/TransferParallel), and the ratio.
// Each silent terminal holds its thread for the SET's time-out and retries
// (2000 ms, 3 retries: 8 s), which sets a floor under every width (32 in
// flight: two rounds of silent terminals, 16 s); the floor is printed beside
// the times. Further widths may be given as arguments.
//
//   DownloadBench [--no-sequential] [WIDTH...]
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "core/app/CTarnDoc.h"
#include "core/app/StartupSettings.h"
#include "core/common/ProgressNotice.h"
#include "core/download/ConfigurationDownload.h"
#include "core/settings/SettingsPath.h"
#include "core/snmp/SnmpManager.h"
#include "core/staging/ExclusionList.h"
#include "core/staging/FtpClient.h"
#include "core/terminals/TerminalDatabase.h"

namespace {

constexpr int kTerminals = 1000;
constexpr int kSilentEvery = 20;
constexpr double kSilentCost = 8.0;  // seconds: 2000 ms, three retries

std::string AddressOf(int i) {
    return "127.0." + std::to_string(80 + i / 250) + "." + std::to_string(1 + i % 250);
}
std::string NameOf(int i) {
    char name[16];
    std::snprintf(name, sizeof(name), "TERM-%04d", i);
    return name;
}
bool IsSilent(int i) {
    return i % kSilentEvery == kSilentEvery / 2;
}

// Counts the message boxes; the first of each run is printed.
class CountingMessages final : public IUserMessages {
public:
    void ShowMessage(const std::string& text, MessageIcon /*icon*/) override {
        if (count++ == 0) {
            std::fprintf(stderr, "first message: %s\n", text.c_str());
        }
    }
    std::size_t count = 0;
};

struct Run {
    double seconds;
    double cpuSeconds;  // of this process: what the console itself spent
    std::size_t asked;
    std::size_t messages;
};

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
    bool sequential = true;
    std::vector<long> widths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-sequential") == 0) {
            sequential = false;
        } else {
            widths.push_back(std::atol(argv[i]));
        }
    }
    if (sequential) {
        widths.insert(widths.begin(), 1);
    }
    widths.insert(widths.begin() + (sequential ? 1 : 0), 32);

    InitialiseSnmpLibrary();
    std::string dir = MakeTempDir();
    std::filesystem::create_directories(dir + "/ftp");
    std::filesystem::create_directories(dir + "/configs");
    WriteFile(dir + "/configs/terminal.reg",
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ThinClient\\Session]\r\n"
              "\"Server\"=\"apps.fleet.example\"\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ThinClient\\Security]\r\n"
              "\"AdminPassword\"=\"bench\"\r\n");
    std::filesystem::copy_file(FLEETWARDEN_SOURCE_DIR "/resources/fleetwarden.tpl",
                               dir + "/bench.tpl");
    StagingFtpServer ftp(dir + "/ftp");
    if (!ftp.Ready()) {
        std::fprintf(stderr, "pyftpdlib did not start (python3-pyftpdlib installed?)\n");
        return 1;
    }

    std::string fleetText = "[Fleet]\nDomainName=bench.example\n";
    for (int i = 0; i < kTerminals; ++i) {
        fleetText += "[" + NameOf(i) + "]\nAddress=" + AddressOf(i) + "\n" +
                     (IsSilent(i) ? "Silent=yes\n" : "");
    }
    WriteFile(dir + "/fleet.ini", fleetText);
    unsigned snmpPort = FreeUdpPortOn(AddressOf(0));
    unsigned trapPort = FreeUdpPortOn("127.0.0.1");  // nobody listens: traps are not timed
    std::string settings = dir + "/bench.ini";
    std::string text = DefaultSettingsText();
    text.insert(text.find("[Misc]\n") + 7, "SnmpPort=" + std::to_string(snmpPort) +
                                               "\nTrapPort=" + std::to_string(trapPort) +
                                               "\nFTPServerPort=" + std::to_string(ftp.Port()) +
                                               "\nLocalHostIP=127.0.0.1\nTransferParallel=1\n");
    text.replace(text.find("\nFTPServerName=\n"), 16, "\nFTPServerName=127.0.0.1\n");
    WriteFile(settings, text);
    SharedState state(settings);

    SimulatedFleet fleet({"--fleet", dir + "/fleet.ini", "--snmp-port", std::to_string(snmpPort),
                          "--trap-port", std::to_string(trapPort), "--ftp-port",
                          std::to_string(ftp.Port()), "--settings", settings, "--no-broadcast"});
    CountingMessages messages;
    CTarnDoc doc(messages, NetSnmpManager(), state);
    LoadProcessWideSettings(doc);
    WaitUntilAnswering(doc, AddressOf(kTerminals - 1));

    // The silent ones were listed once and have gone quiet since.
    auto start = Clock::now();
    for (int i = 0; i < kTerminals; ++i) {
        if (IsSilent(i)) {
            TerminalRecord record;
            record.m_entPrefix = ".1.3.6.1.4.1.32473.10";  // the current model's
            record.m_ip = AddressOf(i);
            record.m_name = NameOf(i);
            record.m_macAdr = "02BE" + std::to_string(100000 + i);
            doc.State().Terminals().Append(record);
        } else if (!doc.RegisterTerminal(AddressOf(i))) {
            std::fprintf(stderr, "%s did not register\n", AddressOf(i).c_str());
        }
    }
    std::printf("terminals listed: %zu of %d (%d silent), in %.1f s\n",
                doc.State().Terminals().Count(), kTerminals, kTerminals / kSilentEvery,
                SecondsSince(start));

    MacByItemTable macByItem;
    std::vector<std::string> macs;
    std::vector<DownloadTarget> targets;
    for (const auto& entry : doc.State().Terminals().Entries()) {
        targets.push_back({macs.size(), entry.record.m_name});
        macs.push_back(entry.record.m_macAdr);
    }
    macByItem.Assign(std::move(macs));
    ExclusionList list = ReadAvailableExclusions(state.Profiles(), settings, doc.GetTemplatePath());

    std::vector<std::pair<long, Run>> runs;
    for (long width : widths) {
        doc.WriteINIValueStr("Misc", "TransferParallel", std::to_string(width));
        messages.count = 0;
        CurlFtpClient client;
        NoProgressNotice notice;
        DownloadChoices choices{dir + "/configs", false, targets, {list, {2}}};
        start = Clock::now();
        double cpu = CpuSeconds();
        DownloadRunOutcome outcome =
            RunConfigurationDownload(doc, macByItem, choices, client, {}, notice);
        Run run{SecondsSince(start), CpuSeconds() - cpu, outcome.requests.size(), messages.count};
        runs.emplace_back(width, run);
        std::printf(
            "%4ld in flight: %8.2f s, console CPU %.2f s (%zu terminals asked, %zu messages)\n",
            width, run.seconds, run.cpuSeconds, run.asked, run.messages);
        std::fflush(stdout);
    }
    for (const auto& [width, run] : runs) {
        // Each silent terminal holds a thread for its whole time-out.
        long silent = kTerminals / kSilentEvery;
        double floor = kSilentCost * static_cast<double>((silent + width - 1) / width);
        std::printf("%4ld in flight: floor of the silent terminals' time-outs %.0f s\n", width,
                    floor);
    }
    if (sequential) {
        for (std::size_t i = 1; i < runs.size(); ++i) {
            std::printf("ratio one by one / %ld in flight: %.1f\n", runs[i].first,
                        runs[0].second.seconds / runs[i].second.seconds);
        }
    }
    return 0;
}
