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
    };
    return commands;
}
