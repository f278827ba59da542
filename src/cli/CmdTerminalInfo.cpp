// get-info and set-info: a terminal's name, location, contact and custom
// fields, read and written as the Configure Terminal Information dialog does.
#include <map>
#include <ostream>
#include <set>

#include "cli/CliArguments.h"
#include "cli/CliCommandsList.h"
#include "cli/QuietDiscovery.h"
#include "core/app/CTarnDoc.h"
#include "core/common/LineEscape.h"
#include "core/common/ProgressNotice.h"
#include "core/discovery/DiscoveryControl.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/terminfo/TerminalInfoEditing.h"

namespace {

constexpr char kGetUsage[] = "get-info IP";
constexpr char kSetUsage[] =
    "set-info IP [--name N] [--location L] [--contact C] [--field1 V] [--field2 V] "
    "[--field3 V] [--send-blanks] [--among IP...]";
// A written value is at most this long.
constexpr std::size_t kMaxValue = 255;

// Registers the terminals of the configured subnets, by the configured method;
// false when the run showed a message (a subnet list that does not parse, a
// socket that cannot be had) or did not end normally.
bool DiscoverConfiguredTerminals(CliContext& context) {
    std::size_t messagesBefore = context.messages.Shown();
    return RunQuietDiscovery(context.doc) == kDiscoveryEnded &&
           context.messages.Shown() == messagesBefore;
}

// Probes and registers `ip` unless the database has it; false (said on
// standard error) when it did not answer or was not taken.
bool EnsureRegistered(CliContext& context, const std::string& ip) {
    if (context.doc.State().Terminals().FindByIP(ip)) {
        return true;
    }
    SnmpOutcome probe = ProbeTerminalName(context.doc, ip);
    if (!probe.ok) {
        context.err << ip << ": no answer: " << EscapeForLine(probe.text) << std::endl;
        return false;
    }
    if (!context.doc.RegisterTerminal(ip) && !context.doc.State().Terminals().FindByIP(ip)) {
        context.err << ip << ": not registered (not a product the settings accept)" << std::endl;
        return false;
    }
    return true;
}

}  // namespace

int RunGetInfoCommand(CliContext& context) {
    if (context.args.size() != 1) {
        return UsageError(context.err, "get-info takes one address", kGetUsage);
    }
    if (auto refused = RefuseBadAddresses(context.err, context.args, kGetUsage)) {
        return *refused;
    }
    const std::string& ip = context.args[0];
    if (!EnsureRegistered(context, ip)) {
        return 1;
    }
    TerminalInfoReading reading = GetTargetInfo(context.doc, ip);
    const TerminalInfoTexts& t = reading.texts;
    const std::pair<const char*, const std::string*> lines[] = {
        {"Name", &t.name},
        {"Location", &t.location},
        {"Contact", &t.contact},
        {"Custom Field 1", &t.customField1},
        {"Custom Field 2", &t.customField2},
        {"Custom Field 3", &t.customField3},
    };
    for (const auto& [label, value] : lines) {
        context.out << label << '\t' << EscapeForLine(*value) << '\n';
    }
    context.out.flush();
    return reading.allRead ? 0 : 1;
}

int RunSetInfoCommand(CliContext& context) {
    const auto& args = context.args;
    if (args.empty()) {
        return UsageError(context.err, "set-info needs an address", kSetUsage);
    }
    const std::string& ip = args[0];
    TerminalInfoTexts texts;
    const std::map<std::string, std::string*> valueOptions = {
        {"--name", &texts.name},           {"--location", &texts.location},
        {"--contact", &texts.contact},     {"--field1", &texts.customField1},
        {"--field2", &texts.customField2}, {"--field3", &texts.customField3},
    };
    BlankFields blanks = BlankFields::Ignore;
    std::vector<std::string> among;
    std::set<std::string> seen;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (!seen.insert(option).second) {
            return UsageError(context.err, option + " is given twice", kSetUsage);
        }
        if (auto found = valueOptions.find(option); found != valueOptions.end()) {
            if (i + 1 >= args.size()) {
                return UsageError(context.err, option + " needs a value", kSetUsage);
            }
            *found->second = args[++i];
            if (found->second->size() > kMaxValue) {
                return UsageError(context.err, option + " takes at most 255 characters", kSetUsage);
            }
        } else if (option == "--send-blanks") {
            blanks = BlankFields::Send;
        } else if (option == "--among") {
            while (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
                among.push_back(args[++i]);
            }
            if (among.empty()) {
                return UsageError(context.err, "--among needs at least one address", kSetUsage);
            }
        } else {
            return UsageError(context.err, "unknown argument \"" + option + "\"", kSetUsage);
        }
    }
    among.insert(among.begin(), ip);
    if (auto refused = RefuseBadAddresses(context.err, among, kSetUsage)) {
        return *refused;
    }
    among.erase(among.begin());

    // The terminals a new name is checked against, then the one to change.
    if (seen.count("--among") != 0) {
        for (const auto& other : among) {
            EnsureRegistered(context, other);
        }
    } else if (!texts.name.empty() && !DiscoverConfiguredTerminals(context)) {
        context.err << "fleetwarden-cli: the discovery failed, so the name could not be checked; "
                       "nothing was sent"
                    << std::endl;
        return 1;
    }
    std::optional<TerminalEntry> target;
    if (EnsureRegistered(context, ip)) {
        target = context.doc.State().Terminals().FindByIP(ip);
    }
    if (!target) {
        return 1;
    }
    NoProgressNotice notice;
    SetTargetResult result = SetTargetInfo(context.doc, *target, texts, blanks, {}, notice);
    context.messages.ShowMessage(result.message, result.icon);
    return result.outcome == SetTargetResult::Outcome::Complete ? 0 : 1;
}
