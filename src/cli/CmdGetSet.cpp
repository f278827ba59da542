// get and set: one named object of one terminal.
#include <ostream>

#include "cli/CliArguments.h"
#include "cli/CliCommandsList.h"
#include "core/app/CTarnDoc.h"
#include "core/common/LineEscape.h"
#include "core/common/Sentinel.h"
#include "core/common/TextFormat.h"
#include "core/terminals/TerminalDatabase.h"

namespace {
// Enterprise objects hang under the terminal's product prefix, which the
// console learns by registering the terminal; the command line does it first.
void LearnProductOf(CliContext& context, const std::string& ip, const std::string& oidName) {
    if (oidName.rfind("EntOid", 0) == 0 && !context.doc.State().Terminals().FindByIP(ip)) {
        context.doc.RegisterTerminal(ip);
    }
}
}  // namespace

// The IP and OIDNAME both commands begin with; the usage error when either is odd.
std::optional<int> RefuseTarget(CliContext& context, const std::string& usage) {
    if (auto refused = RefuseBadAddresses(context.err, {context.args[0]}, usage)) {
        return refused;
    }
    if (context.args[1].empty()) {
        return UsageError(context.err, "OIDNAME is empty", usage);
    }
    return std::nullopt;
}

int RunGetCommand(CliContext& context) {
    const auto& args = context.args;
    const std::string usage = "get IP OIDNAME [INDEX]";
    if (args.size() < 2 || args.size() > 3) {
        return UsageError(context.err, "get takes an address, a name and perhaps an index", usage);
    }
    if (auto refused = RefuseTarget(context, usage)) {
        return *refused;
    }
    std::optional<int> index = args.size() == 3 ? ParseIndex(args[2]) : 0;
    if (!index) {
        return UsageError(context.err, "INDEX must be a number from 0: \"" + args[2] + "\"", usage);
    }
    LearnProductOf(context, args[0], args[1]);
    // The outcome decides, not the text: a location may well read "Error log".
    SnmpOutcome outcome = context.doc.GetSnmpOutcome(args[0], args[1], *index);
    context.out << EscapeForLine(outcome.text) << std::endl;
    return outcome.ok ? 0 : 1;
}

int RunSetCommand(CliContext& context) {
    const auto& args = context.args;
    const std::string usage = "set IP OIDNAME VALUE";
    if (args.size() != 3) {
        return UsageError(context.err, "set takes an address, a name and a value", usage);
    }
    if (auto refused = RefuseTarget(context, usage)) {
        return *refused;
    }
    LearnProductOf(context, args[0], args[1]);
    std::string text = context.doc.SetSnmpValue(args[0], args[1], args[2]);
    context.out << text << std::endl;
    return text == kNoneNoneNone ? 0 : 1;
}
