// firmware: the firmware run of the console's Download / Upgrade Firmware
// dialog, for the given terminals or every terminal of the configured subnets.
#include <charconv>
#include <chrono>
#include <map>
#include <ostream>
#include <set>

#include "cli/CliArguments.h"
#include "cli/CliCommandsList.h"
#include "cli/QuietDiscovery.h"
#include "core/app/CTarnDoc.h"
#include "core/common/ProgressNotice.h"
#include "core/discovery/DiscoveryControl.h"
#include "core/firmware/FirmwareDownload.h"
#include "core/staging/FtpClient.h"
#include "core/terminals/RefreshTerminals.h"
#include "core/transfer/OutcomeTrapWatch.h"

namespace {

constexpr char kUsage[] = "usage: fleetwarden-cli firmware DIR (--all | IP...) [--wait S]";
// A day: longer waits are surely a typing error.
constexpr long kMaxWaitSeconds = 86400;

struct FirmwareArguments {
    std::string directory;
    bool all = false;
    std::vector<std::string> addresses;
    std::optional<long> waitSeconds;
};

std::optional<FirmwareArguments> Parse(const std::vector<std::string>& args) {
    if (args.empty() || args[0].empty()) {
        return std::nullopt;
    }
    FirmwareArguments parsed;
    parsed.directory = args[0];
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--all") {
            parsed.all = true;
        } else if (args[i] == "--wait" && i + 1 < args.size() && !parsed.waitSeconds) {
            const std::string& text = args[++i];
            long seconds = 0;
            auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
            if (error != std::errc() || end != text.data() + text.size() || seconds < 1 ||
                seconds > kMaxWaitSeconds) {
                return std::nullopt;
            }
            parsed.waitSeconds = seconds;
        } else if (args[i].rfind("--", 0) == 0) {
            return std::nullopt;
        } else {
            parsed.addresses.push_back(args[i]);
        }
    }
    if (parsed.all == !parsed.addresses.empty()) {
        return std::nullopt;
    }
    return parsed;
}

FirmwareTarget TargetOf(const TerminalRecord& record) {
    return {record.m_name, record.m_macAdr};
}

// Every terminal the configured subnets hold, found as the console's Discover
// finds them, then refreshed as after a discovery.
std::vector<FirmwareTarget> DiscoverTargets(CliContext& context) {
    RunQuietDiscovery(context.doc);
    RefreshAndValidateTerminals(context.doc);
    std::vector<FirmwareTarget> targets;
    for (const auto& entry : context.doc.State().Terminals().Entries()) {
        targets.push_back(TargetOf(entry.record));
    }
    return targets;
}

// Probes and registers each address once; those that do not answer, or that
// registration refuses, are reported and left out.
std::vector<FirmwareTarget> RegisterTargets(CliContext& context,
                                            const std::vector<std::string>& addresses,
                                            bool& allFound) {
    std::vector<FirmwareTarget> targets;
    std::set<std::string> seen;
    for (const auto& ip : addresses) {
        if (!seen.insert(ip).second) {
            continue;
        }
        SnmpOutcome probe = ProbeTerminalName(context.doc, ip);
        if (!probe.ok) {
            context.err << ip << ": no answer: " << probe.text << std::endl;
            allFound = false;
            continue;
        }
        context.doc.RegisterTerminal(ip);
        std::optional<TerminalEntry> entry = context.doc.State().Terminals().FindByIP(ip);
        if (!entry) {
            context.err << ip << ": not registered (not a product the settings accept)"
                        << std::endl;
            allFound = false;
            continue;
        }
        targets.push_back(TargetOf(entry->record));
    }
    return targets;
}

// One line per terminal: what its outcome trap said, or why it was not asked.
bool PrintOutcomes(CliContext& context, const std::vector<FirmwareRequestOutcome>& outcomes,
                   const std::vector<FirmwareTarget>& targets,
                   const std::map<std::string, TransferOutcomeReport>& reports) {
    bool allOk = true;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        const FirmwareRequestOutcome& outcome = outcomes[i];
        const std::string who = outcome.ip.empty() ? targets[i].name : outcome.ip;
        if (!outcome.Requested()) {
            context.out << who << " not requested: "
                        << (outcome.result.empty() ? "no such terminal" : outcome.result)
                        << std::endl;
            allOk = false;
            continue;
        }
        const TransferOutcomeReport& report = reports.at(outcome.ip);
        switch (report.kind) {
            case TransferOutcomeReport::Kind::Ok:
                context.out << who << " ok" << std::endl;
                break;
            case TransferOutcomeReport::Kind::Failed:
                context.out << who << " failed: " << report.reason << std::endl;
                allOk = false;
                break;
            case TransferOutcomeReport::Kind::NoTrap:
                context.out << who << " no trap" << std::endl;
                allOk = false;
                break;
        }
    }
    return allOk;
}

}  // namespace

int RunFirmwareCommand(CliContext& context) {
    std::optional<FirmwareArguments> args = Parse(context.args);
    if (!args) {
        context.err << kUsage << std::endl;
        return 2;
    }
    if (auto refused = RefuseBadAddresses(context.err, args->addresses, kUsage)) {
        return *refused;
    }
    // The directory is checked before any terminal is asked anything.
    if (!CheckFirmwareDirectory(context.doc, args->directory)) {
        return 1;
    }
    bool allFound = true;
    std::vector<FirmwareTarget> targets =
        args->all ? DiscoverTargets(context) : RegisterTargets(context, args->addresses, allFound);

    // Listening before the first request goes out, so no fast terminal's trap is missed.
    std::optional<OutcomeTrapWatch> watch;
    if (args->waitSeconds) {
        watch.emplace(context.doc);
        std::string error;
        if (!watch->Start(error)) {
            context.err << "fleetwarden-cli: " << error << std::endl;
            return 1;
        }
    }
    CurlFtpClient client;
    NoProgressNotice notice;
    FirmwareRunResult run = DownloadFirmware(context.doc, client, args->directory, targets, notice);
    if (run.end != FirmwareRunEnd::Completed) {
        return 1;
    }
    bool allRequested = true;
    std::vector<std::string> requested;
    for (const auto& outcome : run.outcomes) {
        allRequested = allRequested && outcome.Requested();
        if (outcome.Requested()) {
            requested.push_back(outcome.ip);
        }
    }
    if (!watch) {
        return allFound && allRequested ? 0 : 1;
    }
    auto reports = watch->WaitFor(requested, std::chrono::seconds(*args->waitSeconds));
    bool allOk = PrintOutcomes(context, run.outcomes, targets, reports);
    return allFound && allOk ? 0 : 1;
}
