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
        {"upload",
         "upload IP DIR [--timeout S]  bring the terminal's configuration file into DIR as\n"
         "                           Upload Configuration does: the terminal sends it to the\n"
         "                           staging server, its outcome trap (awaited S seconds,\n"
         "                           default 60) decides, then it is fetched (owner-only)",
         RunUploadCommand},
        {"setup",
         "setup --show | KEY=VALUE...  print the Setup fields, or check and write them as\n"
         "                           Setup's OK does (FTPPassword=- reads the password from\n"
         "                           standard input)",
         RunSetupCommand},
        {"stage",
         "stage put LOCAL [REMOTE] | get REMOTE LOCAL | delete REMOTE\n"
         "                           move a file to, from or off the FTP staging server",
         RunStageCommand},
        {"get-info",
         "get-info IP              print the name (without its domain), location, contact\n"
         "                           and custom fields 1 to 3, one \"LABEL<tab>VALUE\" line each",
         RunGetInfoCommand},
        {"set-info",
         "set-info IP [--name N] [--location L] [--contact C] [--field1 V] [--field2 V]\n"
         "         [--field3 V] [--send-blanks] [--among IP...]\n"
         "                           write them as Configure Terminal Information does: a name\n"
         "                           another terminal uses (by MAC address) is refused; the\n"
         "                           terminals compared are those of --among, or else those a\n"
         "                           discovery of the configured subnets finds; a field not\n"
         "                           given is left alone, or with --send-blanks cleared (the\n"
         "                           name never is); the first write refused ends the run",
         RunSetInfoCommand},
        {"firmware",
         "firmware DIR (--all | IP...) [--wait S]\n"
         "                           copy a firmware directory (params.ini, the image it names,\n"
         "                           bootstrap.exe when present) to the FTP staging server and\n"
         "                           ask the terminals (--all: every one the configured subnets\n"
         "                           hold) to fetch it; with --wait, print each terminal's\n"
         "                           outcome (ok, failed: REASON, no trap) within S seconds",
         RunFirmwareCommand},
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
