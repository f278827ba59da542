#include "cli/CliCommandsList.h"

const std::vector<CliCommand>& CliCommands() {
    static const std::vector<CliCommand> commands = {
        {"get", "get IP OIDNAME [INDEX]   print the value of a named object", RunGetCommand},
        {"set", "set IP OIDNAME VALUE     write a named object", RunSetCommand},
        {"register", "register IP...           register terminals; print whether each was added",
         RunRegisterCommand},
        {"list",
         "list [--csv] IP...       register terminals, refresh them, print the inventory:\n"
         "                           one line per terminal, its values separated by tabs, a\n"
         "                           backslash, tab, line break or other control character in\n"
         "                           a value written \\\\, \\t, \\n or \\xHH; with --csv,\n"
         "                           comma-separated with a header row, values exact, quoted where "
         "needed",
         RunListCommand},
        {"traps",
         "traps [--count N] [--seconds S]  print the Trap Monitor's lines until N traps or S "
         "seconds",
         RunTrapsCommand},
        {"discover",
         "discover [--parallel N]  discover terminals on the configured subnets, print the\n"
         "                           log as it comes, then the terminals",
         RunDiscoverCommand},
        {"exclusions",
         "exclusions               list the exclusions a configuration download offers: the\n"
         "                           template's, then the settings file's",
         RunExclusionsCommand},
        {"submit",
         "submit IP --direction up|down --type binary|ascii --source S --dest D --server NAME\n"
         "         [--trap-id ID]     ask a terminal to fetch (down) or send (up) a file; the\n"
         "                           paths go as typed; prints NoneNoneNone when every object\n"
         "                           is written (trap id: the address's last 10 characters)",
         RunSubmitCommand},
        {"setup",
         "setup --show | KEY=VALUE...  print the Setup fields, or check and write them as\n"
         "                           Setup's OK does (FTPPassword=- reads the password from\n"
         "                           standard input)",
         RunSetupCommand},
        {"stage",
         "stage put LOCAL [REMOTE] | get REMOTE LOCAL | delete REMOTE\n"
         "                           move a file to, from or off the FTP staging server",
         RunStageCommand},
        {"download-config",
         "download-config DIR [--reboot] [--exclude NAME]... (--all | IP...) [--wait S]\n"
         "                           filter DIR's configuration file, put it on the staging\n"
         "                           server and have the terminals (--all: every terminal\n"
         "                           discovery finds) fetch it; --wait S waits for each\n"
         "                           outcome trap and prints ok, failed: REASON or no trap",
         RunDownloadConfigCommand},
    };
    return commands;
}
