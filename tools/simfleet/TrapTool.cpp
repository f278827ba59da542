#include "TrapTool.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "FleetConfig.h"
#include "Net.h"
#include "SnmpCodec.h"

namespace simfleet {

namespace {

const Oid kDefaultEnterprise = {1, 3, 6, 1, 4, 1, 32473};

bool ParseUnsigned(const std::string& text, unsigned long max, unsigned long& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    value = std::strtoul(text.c_str(), &end, 10);
    return errno == 0 && end && *end == '\0' && value <= max && text[0] != '-';
}

bool ParseDestination(const std::string& text, in_addr& address, unsigned& port) {
    std::string host = text;
    port = 162;
    std::size_t colon = text.rfind(':');
    if (colon != std::string::npos) {
        unsigned long number = 0;
        if (!ParseUnsigned(text.substr(colon + 1), 65535, number) || number == 0) {
            return false;
        }
        port = static_cast<unsigned>(number);
        host = text.substr(0, colon);
    }
    auto resolved = ResolveIpv4(host);
    if (!resolved) {
        return false;
    }
    address = *resolved;
    return true;
}

// One binding from its three words, with the type letters of the usual SNMP
// command-line tools: i s x o a t c u.
bool ParseBinding(const std::string& name, const std::string& type, const std::string& text,
                  VarBind& bind, std::string& error) {
    auto oid = ParseOid(name);
    if (!oid) {
        error = "not a dotted OID: " + name;
        return false;
    }
    bind.oid = *oid;
    Value& value = bind.value;
    if (type == "s") {
        value = Value::Text(text);
    } else if (type == "x") {
        std::string digits;
        for (char c : text) {
            if (std::isxdigit(static_cast<unsigned char>(c))) {
                digits += c;
            } else if (c != ' ' && c != ':') {
                error = "not hexadecimal: " + text;
                return false;
            }
        }
        if (digits.size() % 2) {
            error = "odd number of hexadecimal digits: " + text;
            return false;
        }
        value = Value::Text("");
        for (std::size_t i = 0; i < digits.size(); i += 2) {
            value.octets += static_cast<char>(std::stoul(digits.substr(i, 2), nullptr, 16));
        }
    } else if (type == "i") {
        char* end = nullptr;
        long number = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0') {
            error = "not an integer: " + text;
            return false;
        }
        value = Value::Integer(number);
    } else if (type == "t" || type == "c" || type == "u") {
        unsigned long number = 0;
        if (!ParseUnsigned(text, 0xFFFFFFFFul, number)) {
            error = "not an unsigned 32-bit number: " + text;
            return false;
        }
        value = Value::Integer(static_cast<long>(number));
        value.type = type == "t" ? tag::kTimeTicks : type == "c" ? tag::kCounter : tag::kGauge;
    } else if (type == "o") {
        auto objectId = ParseOid(text);
        if (!objectId) {
            error = "not a dotted OID: " + text;
            return false;
        }
        value.type = tag::kObjectId;
        value.objectId = *objectId;
    } else if (type == "a") {
        in_addr address{};
        if (!ParseIpv4(text, address)) {
            error = "not an IPv4 address: " + text;
            return false;
        }
        value.type = tag::kIpAddress;
        value.octets.assign(reinterpret_cast<const char*>(&address.s_addr), 4);
    } else {
        error = "unknown type " + type + " (one of i s x o a t c u)";
        return false;
    }
    return true;
}

// What the two subcommands share.
struct TrapSettings {
    in_addr to{};
    unsigned port = 162;
    Trap trap;
    std::string error;
};

// Reads the options both subcommands have; `other` gets the rest.
bool ParseCommon(const std::vector<std::string>& args, TrapSettings& settings,
                 std::vector<std::pair<std::string, std::vector<std::string>>>& other,
                 const std::vector<std::pair<std::string, int>>& extra) {
    settings.trap.enterprise = kDefaultEnterprise;
    bool haveTo = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        auto value = [&](std::size_t count) -> bool {
            if (i + count >= args.size()) {
                settings.error = option + " needs " + std::to_string(count) + " value(s)";
                return false;
            }
            return true;
        };
        unsigned long number = 0;
        if (option == "--to") {
            if (!value(1)) {
                return false;
            }
            if (!ParseDestination(args[++i], settings.to, settings.port)) {
                settings.error = "--to needs ADDRESS[:PORT], not " + args[i];
                return false;
            }
            haveTo = true;
        } else if (option == "--community") {
            if (!value(1)) {
                return false;
            }
            settings.trap.community = args[++i];
        } else if (option == "--enterprise") {
            if (!value(1)) {
                return false;
            }
            auto oid = ParseOid(args[++i]);
            if (!oid) {
                settings.error = "--enterprise needs a dotted OID";
                return false;
            }
            settings.trap.enterprise = *oid;
        } else if (option == "--generic" || option == "--specific") {
            if (!value(1)) {
                return false;
            }
            if (!ParseUnsigned(args[++i], 0x7FFFFFFF, number)) {
                settings.error = option + " needs a number";
                return false;
            }
            (option == "--generic" ? settings.trap.generic : settings.trap.specific) =
                static_cast<int>(number);
        } else {
            bool known = false;
            for (const auto& [name, count] : extra) {
                if (option == name) {
                    if (!value(static_cast<std::size_t>(count))) {
                        return false;
                    }
                    std::vector<std::string> values(
                        args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                        args.begin() + static_cast<std::ptrdiff_t>(i) + 1 + count);
                    other.emplace_back(name, values);
                    i += static_cast<std::size_t>(count);
                    known = true;
                }
            }
            if (!known) {
                settings.error = "unknown option " + option;
                return false;
            }
        }
    }
    if (!haveTo) {
        settings.error = "--to ADDRESS[:PORT] is required";
        return false;
    }
    if (!IsLocalAddress(settings.to)) {
        settings.error = "--to " + FormatIpv4(settings.to) +
                         " is not an address of this machine; the simulator sends only there";
        return false;
    }
    return true;
}

bool ParseSenders(const std::string& text, std::vector<in_addr>& senders, std::string& error) {
    std::size_t dash = text.find('-');
    if (dash != std::string::npos) {
        in_addr first{}, last{};
        if (!ParseIpv4(text.substr(0, dash), first) || !ParseIpv4(text.substr(dash + 1), last) ||
            ntohl(last.s_addr) < ntohl(first.s_addr)) {
            error = "--senders needs FIRST-LAST addresses in order";
            return false;
        }
        for (in_addr a = first; ntohl(a.s_addr) <= ntohl(last.s_addr); a = NextHostAddress(a)) {
            senders.push_back(a);
            if (senders.size() > 65536) {
                error = "--senders: more than 65536 addresses";
                return false;
            }
        }
        return true;
    }
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t comma = text.find(',', pos);
        std::string one = text.substr(pos, comma == std::string::npos ? comma : comma - pos);
        in_addr address{};
        if (!ParseIpv4(one, address)) {
            error = "--senders: not an address: " + one;
            return false;
        }
        senders.push_back(address);
        if (comma == std::string::npos) {
            break;
        }
        pos = comma + 1;
    }
    return true;
}

}  // namespace

const char* TrapHelp() {
    return "  trap --to ADDRESS[:PORT] [--agent ADDRESS] [--from ADDRESS] [--community TEXT]\n"
           "       [--enterprise OID] [--generic N] [--specific N] [--uptime TICKS]\n"
           "       [--var OID TYPE VALUE]...\n"
           "      Sends one version 1 trap. The agent address defaults to the sender\n"
           "      address (--from, default 127.0.0.1); the port to 162. TYPE is one of\n"
           "      i (INTEGER), s (text), x (hex bytes), o (OID), a (IpAddress),\n"
           "      t (TimeTicks), c (Counter), u (Gauge).\n"
           "  trap-burst --to ADDRESS[:PORT] --senders FIRST-LAST|A,B,... --count N\n"
           "       [--generic N] [--specific N] [--community TEXT] [--enterprise OID]\n"
           "       [--pause-us MICROSECONDS]\n"
           "      Sends N traps round-robin from the sender addresses (each the agent\n"
           "      address of its traps). Each trap carries two INTEGER bindings,\n"
           "      ENTERPRISE.1.0 = its number for its sender (1, 2, ...) and\n"
           "      ENTERPRISE.2.0 = its number in the burst, so order per sender can be\n"
           "      checked. Defaults: generic 6, specific 4.\n";
}

int RunTrapCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    TrapSettings settings;
    std::vector<std::pair<std::string, std::vector<std::string>>> other;
    if (!ParseCommon(args, settings, other,
                     {{"--agent", 1}, {"--from", 1}, {"--uptime", 1}, {"--var", 3}})) {
        err << "fleetwarden-simfleet trap: " << settings.error << " (try --help)\n";
        return 2;
    }
    in_addr from{};
    from.s_addr = htonl(INADDR_LOOPBACK);
    bool agentGiven = false;
    for (const auto& [name, values] : other) {
        std::string error;
        unsigned long number = 0;
        if (name == "--agent" || name == "--from") {
            in_addr address{};
            if (!ParseIpv4(values[0], address)) {
                err << "fleetwarden-simfleet trap: " << name << " needs an IPv4 address\n";
                return 2;
            }
            if (name == "--agent") {
                settings.trap.agentAddress = address;
                agentGiven = true;
            } else {
                from = address;
            }
        } else if (name == "--uptime") {
            if (!ParseUnsigned(values[0], 0xFFFFFFFFul, number)) {
                err << "fleetwarden-simfleet trap: --uptime needs a number\n";
                return 2;
            }
            settings.trap.timeStamp = number;
        } else {
            VarBind bind;
            if (!ParseBinding(values[0], values[1], values[2], bind, error)) {
                err << "fleetwarden-simfleet trap: --var " << error << "\n";
                return 2;
            }
            settings.trap.bindings.push_back(bind);
        }
    }
    if (!agentGiven) {
        settings.trap.agentAddress = from;
    }
    std::string error;
    int fd = BindUdp(from, 0, error);
    if (fd < 0) {
        err << "fleetwarden-simfleet trap: " << error << "\n";
        return 1;
    }
    std::string datagram = EncodeTrap(settings.trap);
    bool sent = !datagram.empty() && SendDatagram(fd, settings.to, settings.port, datagram);
    ::close(fd);
    if (!sent) {
        err << "fleetwarden-simfleet trap: the trap could not be sent\n";
        return 1;
    }
    out << "trap generic " << settings.trap.generic << " specific " << settings.trap.specific
        << " sent from " << FormatIpv4(from) << " to " << Endpoint(settings.to, settings.port)
        << "\n";
    return 0;
}

int RunTrapBurst(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    TrapSettings settings;
    settings.trap.generic = 6;
    settings.trap.specific = 4;
    std::vector<std::pair<std::string, std::vector<std::string>>> other;
    if (!ParseCommon(args, settings, other,
                     {{"--senders", 1}, {"--count", 1}, {"--pause-us", 1}})) {
        err << "fleetwarden-simfleet trap-burst: " << settings.error << " (try --help)\n";
        return 2;
    }
    std::vector<in_addr> senders;
    unsigned long count = 0;
    unsigned long pauseUs = 0;
    for (const auto& [name, values] : other) {
        std::string error;
        bool ok = name == "--senders" ? ParseSenders(values[0], senders, error)
                  : name == "--count" ? ParseUnsigned(values[0], 100000000ul, count)
                                      : ParseUnsigned(values[0], 10000000ul, pauseUs);
        if (!ok) {
            err << "fleetwarden-simfleet trap-burst: "
                << (error.empty() ? name + " needs a number" : error) << "\n";
            return 2;
        }
    }
    if (senders.empty() || count == 0) {
        err << "fleetwarden-simfleet trap-burst: --senders and --count are required\n";
        return 2;
    }
    std::vector<int> sockets;
    auto closeAll = [&] {
        for (int fd : sockets) {
            ::close(fd);
        }
    };
    for (const auto& sender : senders) {
        std::string error;
        int fd = BindUdp(sender, 0, error);
        if (fd < 0) {
            err << "fleetwarden-simfleet trap-burst: " << error << "\n";
            closeAll();
            return 1;
        }
        sockets.push_back(fd);
    }
    unsigned long failed = 0;
    auto started = std::chrono::steady_clock::now();
    for (unsigned long n = 0; n < count; ++n) {
        std::size_t sender = n % senders.size();
        Trap trap = settings.trap;
        trap.agentAddress = senders[sender];
        trap.timeStamp = n;
        trap.bindings = {
            {Concat(trap.enterprise, {1, 0}),
             Value::Integer(static_cast<long>(n / senders.size() + 1))},
            {Concat(trap.enterprise, {2, 0}), Value::Integer(static_cast<long>(n + 1))}};
        std::string datagram = EncodeTrap(trap);
        if (datagram.empty() ||
            !SendDatagram(sockets[sender], settings.to, settings.port, datagram)) {
            ++failed;
        }
        if (pauseUs > 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(pauseUs));
        }
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    closeAll();
    out << "sent " << count - failed << " of " << count << " traps from " << senders.size()
        << " senders to " << Endpoint(settings.to, settings.port) << " in " << seconds << " s\n";
    return failed ? 1 : 0;
}

}  // namespace simfleet
