// setup: the Setup dialog's fields from a shell. The password never appears
// on the command line or in any output: it is read from standard input.
#include <termios.h>
#include <unistd.h>

#include <strings.h>
#include <iostream>

#include "cli/CliCommandsList.h"
#include "core/app/CTarnDoc.h"
#include "core/common/TextFormat.h"
#include "core/setup/SetupSettings.h"

namespace {

constexpr const char* kUsage = "usage: fleetwarden-cli setup --show | KEY=VALUE...";

// The Setup keys in the order OK writes them.
const char* const kKeys[] = {
    "GetCommunity",  "SetCommunity", "DiscoverIPSubNet", "DiscoverMethod",   "FTPServerName",
    "FTPServerPath", "FTPLogin",     "FTPPassword",      "DiscoverRangeLow", "DiscoverRangeHigh"};

std::string* TextField(SetupValues& values, const std::string& key) {
    std::pair<const char*, std::string*> fields[] = {
        {"GetCommunity", &values.getCommunity},         {"SetCommunity", &values.setCommunity},
        {"DiscoverIPSubNet", &values.discoverIPSubNet}, {"FTPServerName", &values.ftpServerName},
        {"FTPServerPath", &values.ftpServerPath},       {"FTPLogin", &values.ftpLogin},
        {"DiscoverRangeLow", &values.rangeLow},         {"DiscoverRangeHigh", &values.rangeHigh}};
    for (const auto& [name, field] : fields) {
        if (::strcasecmp(name, key.c_str()) == 0) {
            return field;
        }
    }
    return nullptr;
}

bool Is(const std::string& key, const char* name) {
    return ::strcasecmp(key.c_str(), name) == 0;
}

// One line of standard input, without echo when it is a terminal.
std::string ReadPassword(CliContext& context) {
    bool terminal = &context.in == &std::cin && ::isatty(STDIN_FILENO) != 0;
    termios saved{};
    if (terminal && ::tcgetattr(STDIN_FILENO, &saved) == 0) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        context.err << "FTP password: " << std::flush;
    }
    std::string line;
    std::getline(context.in, line);
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        context.err << std::endl;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

// What is stored now, without reports: a key that is missing reads as empty.
SetupValues StoredValues(CTarnDoc& doc) {
    auto read = [&](const char* key) {
        std::string value = doc.GetINIValueStr("Misc", key, IfMissing::Silent);
        return value == "NoneNoneNone" ? std::string() : value;
    };
    SetupValues values;
    for (const char* key : kKeys) {
        if (std::string* field = TextField(values, key)) {
            *field = read(key);
        }
    }
    for (std::string* range : {&values.rangeLow, &values.rangeHigh}) {
        *range = std::to_string(static_cast<unsigned>(ToLong(*range)));
    }
    values.broadcast = read("DiscoverMethod") == "BCAST";
    values.storedPassword = read("FTPPassword");
    return values;
}

int Show(CliContext& context) {
    std::size_t before = context.messages.Shown();
    CTarnDoc& doc = context.doc;
    for (const char* key : kKeys) {
        std::string value = doc.GetINIValueStr("Misc", key, IfMissing::Report);
        if (Is(key, "DiscoverMethod")) {
            value = value == "BCAST" ? "BCAST" : "SNMP";
        } else if (Is(key, "FTPPassword")) {
            bool stored = !value.empty() && value != "GetINIValueStrError";
            value = stored ? "(stored)" : "(none)";
        } else if (Is(key, "DiscoverRangeLow") || Is(key, "DiscoverRangeHigh")) {
            value = std::to_string(static_cast<unsigned>(ToLong(value)));
        }
        context.out << key << "=" << value << "\n";
    }
    context.out << std::flush;
    return context.messages.Shown() == before ? 0 : 1;
}

}  // namespace

int RunSetupCommand(CliContext& context) {
    const auto& args = context.args;
    if (args.size() == 1 && args[0] == "--show") {
        return Show(context);
    }
    if (args.empty()) {
        context.err << kUsage << std::endl;
        return 2;
    }
    SetupValues values = StoredValues(context.doc);
    for (const std::string& arg : args) {
        auto equals = arg.find('=');
        std::string key = arg.substr(0, equals);
        if (equals == std::string::npos) {
            context.err << "fleetwarden-cli setup: expected KEY=VALUE, got " << key << std::endl;
            return 2;
        }
        std::string value = arg.substr(equals + 1);
        if (Is(key, "FTPPassword")) {
            if (value != "-" && !value.empty()) {
                context.err << "fleetwarden-cli setup: a password is never given on the command "
                               "line; use FTPPassword=- and type it on standard input"
                            << std::endl;
                return 2;
            }
            values.ftpPassword = value == "-" ? ReadPassword(context) : std::string();
            values.storedPassword.reset();
        } else if (Is(key, "DiscoverMethod")) {
            if (!Is(value, "SNMP") && !Is(value, "BCAST")) {
                context.err << "fleetwarden-cli setup: DiscoverMethod is SNMP or BCAST"
                            << std::endl;
                return 2;
            }
            values.broadcast = Is(value, "BCAST");
        } else if (std::string* field = TextField(values, key)) {
            *field = value;
        } else {
            context.err << "fleetwarden-cli setup: unknown key " << key << " (the keys are";
            for (const char* name : kKeys) {
                context.err << " " << name;
            }
            context.err << ")" << std::endl;
            return 2;
        }
    }
    std::size_t before = context.messages.Shown();
    if (SaveSetup(context.doc, values) != SetupCheck::None) {
        return 1;
    }
    return context.messages.Shown() == before ? 0 : 1;
}
