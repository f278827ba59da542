// Anyone who can reach the trap port can send it anything. Feeds raw datagrams
// through the trap service's own parse and hand-off (the intake and its queue)
// and the listener's handling of each trap it yields, and checks what a hostile
// datagram must never achieve: a queued trap that grows with the datagram, or a
// name request to an address the datagram did not name.
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "core/app/CTarnDoc.h"
#include "core/settings/SettingsPath.h"
#include "core/snmp/SnmpManager.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/traps/TrapDecoding.h"
#include "core/traps/TrapIntake.h"
#include "core/traps/TrapListener.h"

namespace {

// No network: every session fails to open; the addresses asked are kept.
class RecordingSnmpManager final : public ISnmpManager {
public:
    bool StrToOid(const std::string& text, SnmpOid& oid) override {
        return ParseOidText(text, oid);
    }
    bool AllocateBindings(SnmpVarBindList& bindings, std::size_t count) override {
        bindings.resize(count);
        return true;
    }
    std::unique_ptr<ISnmpSession> Open(const SnmpOpenParams& params,
                                       unsigned long& failureCode) override {
        asked.push_back(params.agent);
        failureCode = snmpcode::kLibraryBase + 3;
        return nullptr;
    }
    bool Close(std::unique_ptr<ISnmpSession> /*session*/) override { return true; }
    std::vector<std::string> asked;
};

class SilentMessages final : public IUserMessages {
public:
    void ShowMessage(const std::string& /*text*/, MessageIcon /*icon*/) override {}
};

class DiscardedLog final : public ITrapLog {
public:
    void AddLine(const std::string& /*text*/) override {}
};

// The settings file the decoding reads, written before the state that reads it.
std::string WriteSettings() {
    std::string path = "/tmp/fleetwarden-datagramfuzz-" + std::to_string(getpid()) + ".ini";
    std::ofstream(path) << "[Misc]\nDisplayProduct=0\n[OID]\n"
                           "OidSysName=.1.3.6.1.2.1.1.5.0\nOidSysObjID=.1.3.6.1.2.1.1.2.0\n";
    return path;
}

struct World {
    World() {
        InitialiseSnmpLibrary();
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    RecordingSnmpManager snmp;
    SilentMessages messages;
    SharedState state{WriteSettings()};
    DiscardedLog log;
    CTarnDoc doc{messages, snmp, state};
    TrapListener listener{doc, log, nullptr};
    sockaddr_in from{};
};

// True when the datagram carries `address` as the contents of a 4-byte element.
bool Names(const std::uint8_t* data, std::size_t size, const std::string& address) {
    in_addr parsed{};
    if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1) {
        return false;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&parsed);
    const std::uint8_t wanted[] = {0x04, bytes[0], bytes[1], bytes[2], bytes[3]};
    return std::search(data, data + size, std::begin(wanted), std::end(wanted)) != data + size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static World world;
    TrapIntake intake;
    intake.Receive(data, size, world.from);
    std::size_t traps = 0;
    while (auto trap = intake.Take()) {
        ++traps;
        // Only what decoding reads is kept, however large the datagram.
        if (TrapFootprint(*trap) > 4096) {
            __builtin_trap();
        }
        world.snmp.asked.clear();
        world.listener.HandleTrap(*trap);
        for (const auto& agent : world.snmp.asked) {
            // Only the packet's source, or an address the trap itself carries.
            if (agent == "0.0.0.0" || (agent != "127.0.0.1" && !Names(data, size, agent))) {
                __builtin_trap();
            }
        }
        if (!IsUsableAgentAddress(trap->agentAddress) && !world.snmp.asked.empty()) {
            __builtin_trap();
        }
        world.state.Terminals().Clear();
    }
    // Every datagram is either a trap or counted as lost.
    TrapLosses losses = intake.TakeLosses();
    if (traps + losses.unreadable + losses.dropped != 1) {
        __builtin_trap();
    }
    return 0;
}
