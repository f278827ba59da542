// get and set: one named object of one terminal.
#include <ostream>

#include "cli/CliCommandsList.h"
#include "core/app/CTarnDoc.h"
#include "core/common/LineEscape.h"
#include "core/common/TextFormat.h"
#include "core/settings/SettingsGlobals.h"
#include "core/terminals/TerminalDatabase.h"

namespace {
// Enterprise objects hang under the terminal's product prefix, which the
// console learns by registering the terminal; the command line does it first.
void LearnProductOf(CliContext& context, const std::string& ip, const std::string& oidName) {
    if (oidName.rfind("EntOid", 0) == 0 && !g_Terminals.FindByIP(ip)) {
        context.doc.RegisterTerminal(ip);
    }
}
}  // namespace

int RunGetCommand(CliContext& context) {
    const auto& args = context.args;
    if (args.size() < 2 || args.size() > 3) {
        context.err << "usage: fleetwarden-cli get IP OIDNAME [INDEX]" << std::endl;
        return 2;
    }
    int index = args.size() == 3 ? static_cast<int>(ToLong(args[2])) : 0;
    LearnProductOf(context, args[0], args[1]);
    std::string text = context.doc.GetSnmpValue(args[0], args[1], index);
    context.out << EscapeForLine(text) << std::endl;
    return Contains(text, "Error") ? 1 : 0;
}

int RunSetCommand(CliContext& context) {
    const auto& args = context.args;
    if (args.size() != 3) {
        context.err << "usage: fleetwarden-cli set IP OIDNAME VALUE" << std::endl;
        return 2;
    }
    LearnProductOf(context, args[0], args[1]);
    std::string text = context.doc.SetSnmpValue(args[0], args[1], args[2]);
    context.out << text << std::endl;
    return text == kNoneNoneNone ? 0 : 1;
}
