// fleetwarden-simfleet: a simulated fleet of network terminals on this
// machine's addresses, for the console's demo and end-to-end tests.
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "Fleet.h"
#include "FleetConfig.h"
#include "FtpTransfer.h"
#include "IniFile.h"
#include "ObjectLayout.h"
#include "SnmpCodec.h"
#include "TrapTool.h"

using namespace simfleet;

namespace {

const char* const kProgram = "fleetwarden-simfleet";

void PrintHelp(std::ostream& out) {
    out << "Usage: fleetwarden-simfleet [OPTIONS]\n"
           "       fleetwarden-simfleet trap|trap-burst OPTIONS\n"
           "Simulates a fleet of network terminals on addresses of this machine: an SNMP\n"
           "version 1 agent per terminal, replies to the discovery broadcast, traps, and\n"
           "FTP transfers on request. The terminals serve the objects named in the\n"
           "console's settings file.\n\n"
           "Fleet options:\n"
           "  --fleet FILE            the terminals, described in FILE (see\n"
           "                          resources/simfleet-example.ini)\n"
           "  --generate N            N varied terminals on consecutive addresses\n"
           "  --generate-silent M     M more generated terminals that never answer\n"
           "  --first-address ADDR    first generated address (default 127.0.0.2)\n"
           "  --settings FILE         the console's settings file to take the objects from\n"
           "                          (default: fleetwarden.ini beside this program, else\n"
           "                          the installed default)\n"
           "  --snmp-port PORT        UDP port of every terminal's agent (default 161)\n"
           "  --broadcast-port PORT   UDP port of the discovery responder (default 2343)\n"
           "  --no-broadcast          no discovery responder\n"
           "  --trap-port PORT        UDP port traps are sent to (default 162)\n"
           "  --trap-dest ADDR        trap destination of terminals that have none\n"
           "  --cold-start            every answering terminal sends a cold start trap\n"
           "  --cold-start-delay SEC  ... this many seconds after the start (default 0)\n"
           "  --ftp-port PORT         TCP port of the FTP server of transfers (default 21)\n"
           "  --state-dir DIR         keep every terminal's files on disk: DIR/ADDRESS/NAME,\n"
           "                          its configuration under the configuration file name;\n"
           "                          written at the start and after each download (0600)\n"
           "  --verbose               one line per request on standard output\n"
           "  --help, --version\n\n"
           "Trap commands:\n"
        << TrapHelp()
        << "\nThe fleet runs until SIGINT or SIGTERM. It sends traps, broadcast replies and\n"
           "FTP requests only to addresses of this machine (or of the network namespace it\n"
           "runs in).\n";
}

bool Number(const std::string& text, unsigned long max, unsigned long& value) {
    char* end = nullptr;
    value = std::strtoul(text.c_str(), &end, 10);
    return !text.empty() && text[0] != '-' && *end == '\0' && value <= max;
}

std::string ProgramDirectory() {
    char path[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0) {
        return ".";
    }
    path[n] = '\0';
    return std::filesystem::path(path).parent_path().string();
}

// The console's own settings file beside the programs, else the installed
// default (an installed fleet), else the one in the source tree.
std::string DefaultSettings() {
    for (std::string candidate :
         {ProgramDirectory() + "/fleetwarden.ini",
          ProgramDirectory() + "/" FLEETWARDEN_DATA_FROM_BIN "/fleetwarden.ini"}) {
        if (std::filesystem::exists(candidate)) {
            return candidate;
        }
    }
    return FLEETWARDEN_SHIPPED_SETTINGS;
}

struct RunOptions {
    std::string fleetFile;
    std::string settings;
    GenerateRequest generate;
    FleetOptions fleet;
};

// Returns -1 to go on, otherwise the exit code.
int ParseOptions(const std::vector<std::string>& args, RunOptions& options) {
    ParseIpv4("127.0.0.2", options.generate.first);
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& option = args[i];
        auto fail = [&](const std::string& why) {
            std::cerr << kProgram << ": " << why << " (try --help)\n";
            return 2;
        };
        if (option == "--help" || option == "-h") {
            PrintHelp(std::cout);
            return 0;
        }
        if (option == "--version") {
            std::cout << kProgram << " " << FLEETWARDEN_VERSION << "\n";
            return 0;
        }
        if (option == "--verbose") {
            options.fleet.verbose = true;
            continue;
        }
        if (option == "--no-broadcast") {
            options.fleet.broadcast = false;
            continue;
        }
        if (option == "--cold-start") {
            options.fleet.coldStart = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            return fail(option.rfind("--", 0) == 0 ? option + " needs a value or is unknown"
                                                   : "unexpected argument " + option);
        }
        const std::string& value = args[++i];
        unsigned long number = 0;
        auto port = [&](unsigned& target) {
            if (!Number(value, 65535, number) || number == 0) {
                return fail(option + " needs a port number, not " + value);
            }
            target = static_cast<unsigned>(number);
            return -1;
        };
        int code = -1;
        if (option == "--fleet") {
            options.fleetFile = value;
        } else if (option == "--settings") {
            options.settings = value;
        } else if (option == "--generate" || option == "--generate-silent") {
            if (!Number(value, 65000, number)) {
                return fail(option + " needs a count");
            }
            (option == "--generate" ? options.generate.live : options.generate.silent) =
                static_cast<unsigned>(number);
        } else if (option == "--first-address") {
            if (!ParseIpv4(value, options.generate.first)) {
                return fail("--first-address needs an IPv4 address");
            }
        } else if (option == "--snmp-port") {
            code = port(options.fleet.snmpPort);
        } else if (option == "--broadcast-port") {
            code = port(options.fleet.broadcastPort);
        } else if (option == "--trap-port") {
            code = port(options.fleet.trapPort);
        } else if (option == "--ftp-port") {
            code = port(options.fleet.ftpPort);
        } else if (option == "--state-dir") {
            options.fleet.stateDir = value;
        } else if (option == "--trap-dest") {
            options.fleet.trapDest = value;
        } else if (option == "--cold-start-delay") {
            char* end = nullptr;
            options.fleet.coldStartDelay = std::strtod(value.c_str(), &end);
            if (*end != '\0' || options.fleet.coldStartDelay < 0) {
                return fail("--cold-start-delay needs a number of seconds");
            }
        } else {
            return fail("unknown option " + option);
        }
        if (code >= 0) {
            return code;
        }
    }
    if (options.fleetFile.empty() && options.generate.live + options.generate.silent == 0) {
        std::cerr << kProgram << ": give --fleet FILE or --generate N (try --help)\n";
        return 2;
    }
    return -1;
}

int RunFleet(const std::vector<std::string>& args) {
    RunOptions options;
    int code = ParseOptions(args, options);
    if (code >= 0) {
        return code;
    }
    std::string error;
    std::string settingsPath = options.settings.empty() ? DefaultSettings() : options.settings;
    auto settings = IniFile::Load(settingsPath, &error);
    ObjectLayout layout;
    if (!settings || !ObjectLayout::Load(*settings, layout, error)) {
        std::cerr << kProgram << ": settings file " << settingsPath << ": " << error << "\n";
        return 1;
    }
    std::vector<TerminalSetup> terminals;
    if (!options.fleetFile.empty() && !LoadFleetFile(options.fleetFile, terminals, error)) {
        std::cerr << kProgram << ": " << error << "\n";
        return 1;
    }
    for (const auto& setup : GenerateTerminals(options.generate)) {
        terminals.push_back(setup);
    }
    for (std::size_t i = 0; i < terminals.size(); ++i) {
        Product product;
        if (!layout.FindProduct(terminals[i].model, product, error)) {
            std::cerr << kProgram << ": terminal " << terminals[i].label << ": " << error << "\n";
            return 1;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (terminals[j].address.s_addr == terminals[i].address.s_addr) {
                std::cerr << kProgram << ": terminals " << terminals[j].label << " and "
                          << terminals[i].label << " have the same address\n";
                return 1;
            }
        }
    }

    InitialiseSnmpLibrary("fleetwarden-simfleet");
    InitialiseTransfers();
    int result = 1;
    {
        Fleet fleet(layout, terminals, options.fleet);
        if (!fleet.Open(error)) {
            std::cerr << kProgram << ": " << error << "\n";
        } else {
            result = fleet.Run();
        }
    }
    ShutdownTransfers();
    ShutdownSnmpLibrary("fleetwarden-simfleet");
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    // Request lines must reach a log file as they happen.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (args.size() > 1 && (args[1] == "trap" || args[1] == "trap-burst")) {
        InitialiseSnmpLibrary("fleetwarden-simfleet");
        std::vector<std::string> rest(args.begin() + 2, args.end());
        int code = args[1] == "trap" ? RunTrapCommand(rest, std::cout, std::cerr)
                                     : RunTrapBurst(rest, std::cout, std::cerr);
        ShutdownSnmpLibrary("fleetwarden-simfleet");
        return code;
    }
    return RunFleet(args);
}
