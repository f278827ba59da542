#include <iostream>

#include "cli/CliContext.h"
#include "cli/TimeoutHint.h"
#include "core/app/CTarnDoc.h"
#include "core/app/NetworkLayer.h"
#include "core/app/StartupSettings.h"
#include "core/common/StringTable.h"
#include "core/settings/SettingsPath.h"

namespace {

void PrintHelp(std::ostream& out) {
    out << "Usage: fleetwarden-cli [--settings FILE] COMMAND [ARGUMENTS]\n"
           "Manages a fleet of network terminals from a shell, with the settings of the\n"
           "Fleetwarden console.\n\n"
           "Commands:\n";
    for (const auto& command : CliCommands()) {
        out << "  " << command.usage << "\n";
    }
    out << "\nOptions:\n"
           "  --settings FILE   use FILE as the settings file (default: fleetwarden-cli.ini\n"
           "                    beside the program; for an installed program\n"
           "                    $XDG_CONFIG_HOME/fleetwarden/fleetwarden.ini, by default\n"
           "                    under ~/.config, shared with the console)\n"
           "  --help            show this help\n"
           "  --version         show the version\n"
           "Messages go to standard error, one line each. The exit code is 0 on success.\n";
}

}  // namespace

int RunCli(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err) {
    return RunCli(argv, std::cin, out, err);
}

int RunCli(const std::vector<std::string>& argv, std::istream& in, std::ostream& out,
           std::ostream& err) {
    std::size_t i = 1;
    std::string settings;
    while (i < argv.size() && argv[i].rfind("--", 0) == 0) {
        const std::string& option = argv[i];
        if (option == "--help") {
            PrintHelp(out);
            return 0;
        }
        if (option == "--version") {
            out << "fleetwarden-cli " << CTarnDoc::GetVersionText() << std::endl;
            return 0;
        }
        if (option == "--settings" || option.rfind("--settings=", 0) == 0) {
            bool separate = option == "--settings";
            if (separate && i + 1 >= argv.size()) {
                err << "fleetwarden-cli: --settings needs a file name" << std::endl;
                return 2;
            }
            settings = separate ? argv[i + 1] : option.substr(11);
            // An empty name would quietly mean the default file.
            if (settings.empty()) {
                err << "fleetwarden-cli: --settings needs a file name, not an empty one"
                    << std::endl;
                return 2;
            }
            i += separate ? 2 : 1;
            continue;
        }
        err << "fleetwarden-cli: unknown option " << option << " (try --help)" << std::endl;
        return 2;
    }
    if (i >= argv.size()) {
        PrintHelp(err);
        return 2;
    }
    const CliCommand* command = nullptr;
    for (const auto& candidate : CliCommands()) {
        if (argv[i] == candidate.name) {
            command = &candidate;
        }
    }
    if (!command) {
        err << "fleetwarden-cli: unknown command " << argv[i] << " (try --help)" << std::endl;
        return 2;
    }
    StderrMessages messages(err);
    if (!InitialiseNetworkLayer()) {
        messages.ShowMessage(LoadResString(ids::kSocketsInitFailed), MessageIcon::Warning);
        return 1;
    }
    // The run's shared state and document, handed to the subcommand; both go
    // when it returns, after every worker it started has ended.
    SharedState state(ResolveSettingsPath(settings));
    std::vector<std::string> arguments(argv.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                       argv.end());
    TimeoutWatch snmp(NetSnmpManager(), arguments);
    CTarnDoc doc(messages, snmp, state);
    LoadProcessWideSettings(doc);
    CliContext context{arguments, doc, out, err, messages, in};
    int code = command->run(context);
    // A request went unanswered: where it was asked, and how.
    if (auto hint = snmp.Hint(state.SettingsPath())) {
        err << *hint << std::endl;
    }
    return code;
}
