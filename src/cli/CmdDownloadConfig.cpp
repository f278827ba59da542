// download-config: the console's configuration download, from a shell.
#include <chrono>
#include <map>
#include <optional>
#include <ostream>
#include <set>

#include "cli/CliArguments.h"
#include "cli/CliCommandsList.h"
#include "cli/QuietDiscovery.h"
#include "core/app/CTarnDoc.h"
#include "core/common/LineEscape.h"
#include "core/common/ProgressNotice.h"
#include "core/common/Sentinel.h"
#include "core/common/StringTable.h"
#include "core/discovery/DiscoveryControl.h"
#include "core/download/ConfigurationDownload.h"
#include "core/settings/SettingsPath.h"
#include "core/staging/ExclusionList.h"
#include "core/staging/FtpClient.h"
#include "core/terminals/RefreshTerminals.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/transfer/OutcomeTrapWatch.h"

namespace {

const std::string kUsage =
    "download-config DIR [--reboot] [--exclude NAME]... (--all | IP...) [--wait S]";

struct DownloadArguments {
    std::string directory;
    bool reboot = false;
    std::vector<std::string> exclusions;
    bool all = false;
    std::vector<std::string> addresses;
    std::optional<long> waitSeconds;
};

// The arguments, or the exit code of a usage error.
std::optional<DownloadArguments> Parse(CliContext& context, int& exitCode) {
    DownloadArguments parsed;
    const auto& args = context.args;
    auto refuse = [&](const std::string& problem) {
        exitCode = UsageError(context.err, problem, kUsage);
        return std::nullopt;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool hasValue = i + 1 < args.size();
        if (arg == "--reboot") {
            parsed.reboot = true;
        } else if (arg == "--all") {
            parsed.all = true;
        } else if (arg == "--exclude" && hasValue) {
            parsed.exclusions.push_back(args[++i]);
        } else if (arg == "--wait" && hasValue) {
            std::optional<int> seconds = ParseIndex(args[++i]);
            if (!seconds) {
                return refuse("--wait takes a number of seconds");
            }
            parsed.waitSeconds = *seconds;
        } else if (arg.rfind("--", 0) == 0) {
            return refuse("unknown or incomplete option " + arg);
        } else if (parsed.directory.empty()) {
            parsed.directory = arg;
        } else {
            parsed.addresses.push_back(arg);
        }
    }
    if (parsed.directory.empty()) {
        return refuse("download-config needs the configuration's directory");
    }
    if (parsed.all == !parsed.addresses.empty()) {
        return refuse("give either --all or the terminals' addresses");
    }
    if (auto refused = RefuseBadAddresses(context.err, parsed.addresses, kUsage)) {
        exitCode = *refused;
        return std::nullopt;
    }
    return parsed;
}

void DiscoverFleet(CTarnDoc& doc) {
    RunQuietDiscovery(doc);
    RefreshAndValidateTerminals(doc);
}

// Probes and registers each address; false when one could not be registered.
bool RegisterAddresses(CliContext& context, const std::vector<std::string>& addresses) {
    bool all = true;
    for (const std::string& ip : addresses) {
        SnmpOutcome probe = ProbeTerminalName(context.doc, ip);
        if (!probe.ok) {
            context.err << ip << ": no answer: " << probe.text << std::endl;
            all = false;
        } else if (!context.doc.RegisterTerminal(ip) &&
                   !context.doc.State().Terminals().FindByIP(ip)) {
            context.err << ip << ": not registered (not a product the settings accept)"
                        << std::endl;
            all = false;
        }
    }
    return all;
}

// Every entry of the exclusion list with one of `names`; false (said) when a
// name is not in the list.
bool ChooseExclusions(CliContext& context, const ExclusionList& list,
                      const std::vector<std::string>& names, std::vector<std::size_t>& chosen) {
    for (const std::string& name : names) {
        bool found = false;
        for (std::size_t i = 0; i < list.names.size(); ++i) {
            if (list.names[i] == name) {
                chosen.push_back(i);
                found = true;
            }
        }
        if (!found) {
            context.err << "fleetwarden-cli: no exclusion named \"" << name
                        << "\" (fleetwarden-cli exclusions lists them)" << std::endl;
            return false;
        }
    }
    return true;
}

std::string Subject(const DownloadRequestResult& request) {
    return request.ip + " " + EscapeForLine(request.name) + ": ";
}

}  // namespace

int RunDownloadConfigCommand(CliContext& context) {
    int exitCode = 0;
    std::optional<DownloadArguments> args = Parse(context, exitCode);
    if (!args) {
        return exitCode;
    }
    ExclusionList list = ReadAvailableExclusions(
        context.doc.State().Profiles(), context.doc.GetINIPath(), context.doc.GetTemplatePath());
    if (!list.complete) {
        // Part of the list would be missing, and with it settings to keep back.
        constexpr int kOutOfBufferMemory = 162;
        context.messages.ShowMessage(LoadResString(kOutOfBufferMemory), MessageIcon::Warning);
        return 1;
    }
    std::vector<std::size_t> chosen;
    if (!ChooseExclusions(context, list, args->exclusions, chosen)) {
        return 2;
    }

    bool everyTerminal = true;
    if (args->all) {
        DiscoverFleet(context.doc);
    } else {
        everyTerminal = RegisterAddresses(context, args->addresses);
    }
    // The rows of the run's target list: the database in its order.
    std::vector<TerminalEntry> entries = context.doc.State().Terminals().Entries();
    std::set<std::string> wanted(args->addresses.begin(), args->addresses.end());
    std::vector<std::string> macs;
    DownloadChoices choices{args->directory, args->reboot, {}, {list, chosen}};
    for (std::size_t row = 0; row < entries.size(); ++row) {
        const TerminalRecord& record = entries[row].record;
        macs.push_back(record.m_macAdr);
        if (args->all || wanted.count(record.m_ip) != 0) {
            choices.targets.push_back({row, record.m_name});
        }
    }
    MacByItemTable macByItem;
    macByItem.Assign(std::move(macs));

    std::optional<OutcomeTrapWatch> watch;
    if (args->waitSeconds) {
        watch.emplace(context.doc);
        std::string error;
        if (!watch->Start(error)) {
            context.err << "fleetwarden-cli: " << error << std::endl;
            return 1;
        }
    }
    CurlFtpClient ftp;
    NoProgressNotice progress;
    DownloadRunOutcome outcome =
        RunConfigurationDownload(context.doc, macByItem, choices, ftp, {}, progress);
    if (outcome.end != DownloadRunEnd::Completed) {
        return 1;
    }

    std::vector<std::string> asked;
    for (const auto& request : outcome.requests) {
        if (request.result == kNoneNoneNone) {
            asked.push_back(request.ip);
        }
    }
    std::map<std::string, TransferOutcomeReport> reports;
    if (watch) {
        reports = watch->WaitFor(asked, std::chrono::seconds(*args->waitSeconds));
    }
    for (const auto& request : outcome.requests) {
        context.out << Subject(request);
        if (request.result != kNoneNoneNone) {
            context.out << "not sent: " << EscapeForLine(request.result) << "\n";
            everyTerminal = false;
        } else if (!watch) {
            context.out << "requested\n";
        } else {
            const TransferOutcomeReport& report = reports[request.ip];
            using Kind = TransferOutcomeReport::Kind;
            everyTerminal = everyTerminal && report.kind == Kind::Ok;
            if (report.kind == Kind::Failed) {
                context.out << "failed: " << EscapeForLine(report.reason) << "\n";
            } else {
                context.out << (report.kind == Kind::Ok ? "ok" : "no trap") << "\n";
            }
        }
    }
    context.out.flush();
    return everyTerminal && !outcome.requests.empty() ? 0 : 1;
}
