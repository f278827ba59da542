// register and list: put terminals into the database, refresh, print the inventory.
#include <algorithm>
#include <ostream>

#include "cli/CliArguments.h"
#include "cli/CliCommandsList.h"
#include "core/app/CTarnDoc.h"
#include "core/common/LineEscape.h"
#include "core/common/TextFormat.h"
#include "core/discovery/DiscoveryControl.h"
#include "core/terminals/RefreshTerminals.h"
#include "core/terminals/TerminalDatabase.h"

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

std::vector<std::string> Columns(const TerminalRecord& r) {
    return {r.m_name,         r.m_version,      r.m_location,     r.m_contact,
            r.m_customField1, r.m_customField2, r.m_customField3, r.m_buildNum,
            r.m_modDate,      r.m_ip,           r.m_macAdr,       r.m_platForm};
}

// One CSV field, exact: quoted when it holds a comma, a quote or any control
// character (line breaks and escape sequences stay inside the quotes).
std::string CsvField(const std::string& value) {
    bool plain = std::none_of(value.begin(), value.end(), [](unsigned char c) {
        return c == ',' || c == '"' || c < 0x20 || c == 0x7F;
    });
    if (plain) {
        return value;
    }
    std::string quoted = "\"";
    for (char c : value) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

}  // namespace

void PrintTerminalList(CliContext& context, bool csv) {
    if (csv) {
        context.out << "Name,Version,Location,Contact,Custom Field 1,Custom Field 2,"
                       "Custom Field 3,Build #,ModDate,IP Address,MAC Address,Platform\r\n";
    }
    for (const auto& entry : context.doc.State().Terminals().Entries()) {
        std::vector<std::string> columns = Columns(entry.record);
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (i > 0) {
                context.out << (csv ? "," : "\t");
            }
            // The text form keeps one line per terminal and one tab between values.
            context.out << (csv ? CsvField(columns[i]) : EscapeForLine(columns[i]));
        }
        context.out << (csv ? "\r\n" : "\n");
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
