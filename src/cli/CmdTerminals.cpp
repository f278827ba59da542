// register and list: put terminals into the database, refresh, print the inventory.
#include <ostream>

#include "cli/CliArguments.h"
#include "cli/CliCommandsList.h"
#include "core/app/CTarnDoc.h"
#include "core/common/LineEscape.h"
#include "core/common/TextFormat.h"
#include "core/discovery/DiscoveryControl.h"
#include "core/terminals/RefreshTerminals.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/terminals/TerminalListCsv.h"

namespace {

// Probes each address and registers the ones that answer. Returns the number
// of addresses that did not answer.
int RegisterAddresses(CliContext& context, const std::vector<std::string>& addresses,
                      bool reportEach) {
    int silent = 0;
    for (const auto& ip : addresses) {
        SnmpOutcome probe = ProbeTerminalName(context.doc, ip);
        if (!probe.ok) {
            context.err << ip << ": no answer: " << probe.text << std::endl;
            ++silent;
            continue;
        }
        bool added = context.doc.RegisterTerminal(ip);
        if (reportEach) {
            context.out << ip
                        << (added ? " added"
                                  : " not added (already known, or not a "
                                    "product the settings accept)")
                        << std::endl;
        }
    }
    return silent;
}

}  // namespace

void PrintTerminalList(CliContext& context, bool csv) {
    std::vector<TerminalEntry> entries = context.doc.State().Terminals().Entries();
    if (csv) {
        context.out << TerminalListCsv(entries) << std::flush;
        return;
    }
    for (const auto& entry : entries) {
        std::vector<std::string> columns = TerminalListColumns(entry.record);
        for (std::size_t i = 0; i < columns.size(); ++i) {
            // The text form keeps one line per terminal and one tab between values.
            context.out << (i > 0 ? "\t" : "") << EscapeForLine(columns[i]);
        }
        context.out << "\n";
    }
    context.out.flush();
}

int RunRegisterCommand(CliContext& context) {
    const std::string usage = "register IP...";
    if (context.args.empty()) {
        return UsageError(context.err, "register needs at least one address", usage);
    }
    if (auto refused = RefuseBadAddresses(context.err, context.args, usage)) {
        return *refused;
    }
    return RegisterAddresses(context, context.args, true) == 0 ? 0 : 1;
}

int RunListCommand(CliContext& context) {
    std::vector<std::string> addresses;
    bool csv = false;
    for (const auto& arg : context.args) {
        if (arg == "--csv") {
            csv = true;
        } else {
            addresses.push_back(arg);
        }
    }
    const std::string usage = "list [--csv] IP...";
    if (addresses.empty()) {
        return UsageError(context.err, "list needs at least one address", usage);
    }
    if (auto refused = RefuseBadAddresses(context.err, addresses, usage)) {
        return *refused;
    }
    int silent = RegisterAddresses(context, addresses, false);
    RefreshAndValidateTerminals(context.doc);

    PrintTerminalList(context, csv);
    return silent == 0 ? 0 : 1;
}
