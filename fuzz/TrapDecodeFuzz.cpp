// Traps come from anyone who can reach the trap port. Builds net-snmp PDUs with
// any numbers, enterprise, addresses and bindings, and runs each through the
// conversion the trap service applies and the listener's handling of one trap.
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "core/app/CTarnDoc.h"
#include "core/settings/SettingsPath.h"
#include "core/snmp/SnmpManager.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/traps/TrapDecoding.h"
#include "core/traps/TrapListener.h"
#include "core/traps/TrapPdu.h"

namespace {

// No network: every session fails to open, so each GET returns its error text.
class ClosedSnmpManager final : public ISnmpManager {
public:
    bool StrToOid(const std::string& text, SnmpOid& oid) override {
        return ParseOidText(text, oid);
    }
    bool AllocateBindings(SnmpVarBindList& bindings, std::size_t count) override {
        bindings.resize(count);
        return true;
    }
    std::unique_ptr<ISnmpSession> Open(const SnmpOpenParams& /*params*/,
                                       unsigned long& failureCode) override {
        failureCode = snmpcode::kLibraryBase + 3;
        return nullptr;
    }
    bool Close(std::unique_ptr<ISnmpSession> /*session*/) override { return true; }
};

class SilentMessages final : public IUserMessages {
public:
    void ShowMessage(const std::string& /*text*/, MessageIcon /*icon*/) override {}
};

class CountingLog final : public ITrapLog {
public:
    void AddLine(const std::string& /*text*/) override { ++lines; }
    std::size_t lines = 0;
};

// The settings file the decoding reads, written before the state that reads it.
std::string WriteSettings() {
    std::string path = "/tmp/fleetwarden-trapfuzz-" + std::to_string(getpid()) + ".ini";
    std::ofstream(path) << "[Misc]\nDisplayProduct=0\n[OID]\n"
                           "OidSysName=.1.3.6.1.2.1.1.5.0\nOidSysObjID=.1.3.6.1.2.1.1.2.0\n";
    return path;
}

struct World {
    World() { InitialiseSnmpLibrary(); }
    ClosedSnmpManager snmp;
    SilentMessages messages;
    SharedState state{WriteSettings()};
    CTarnDoc doc{messages, snmp, state};
};

const u_char kTypes[] = {ASN_INTEGER,   ASN_OCTET_STR, ASN_NULL,    ASN_OBJECT_ID,
                         ASN_IPADDRESS, ASN_COUNTER,   ASN_GAUGE,   ASN_TIMETICKS,
                         ASN_OPAQUE,    ASN_COUNTER64, ASN_BIT_STR, ASN_UINTEGER};

std::vector<oid> Oid(FuzzedDataProvider& in, std::size_t most) {
    std::vector<oid> result(in.ConsumeIntegralInRange<std::size_t>(0, most));
    for (auto& part : result) {
        part = in.ConsumeBool() ? in.ConsumeIntegralInRange<oid>(0, 8)
                                : in.ConsumeIntegral<std::uint32_t>();
    }
    return result;
}

void AddBinding(FuzzedDataProvider& in, netsnmp_pdu* pdu, bool trapHeader, std::size_t position) {
    std::vector<oid> name = Oid(in, 140);
    if (trapHeader && position < 2 && in.ConsumeBool()) {
        // sysUpTime.0 and snmpTrapOID.0, so version 2 traps get past the header.
        name = position == 0 ? std::vector<oid>{1, 3, 6, 1, 2, 1, 1, 3, 0}
                             : std::vector<oid>{1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};
    }
    if (name.empty()) {
        name.push_back(0);
    }
    u_char type = position == 1 && trapHeader ? ASN_OBJECT_ID : in.PickValueInArray(kTypes);
    switch (type) {
        case ASN_INTEGER:
        case ASN_COUNTER:
        case ASN_GAUGE:
        case ASN_TIMETICKS:
        case ASN_UINTEGER: {
            long value = in.ConsumeIntegral<long>();
            snmp_pdu_add_variable(pdu, name.data(), name.size(), type, &value, sizeof(value));
            break;
        }
        case ASN_COUNTER64: {
            counter64 value{in.ConsumeIntegral<u_long>(), in.ConsumeIntegral<u_long>()};
            snmp_pdu_add_variable(pdu, name.data(), name.size(), type, &value, sizeof(value));
            break;
        }
        case ASN_OBJECT_ID: {
            std::vector<oid> value = Oid(in, 130);
            snmp_pdu_add_variable(pdu, name.data(), name.size(), type, value.data(),
                                  value.size() * sizeof(oid));
            break;
        }
        case ASN_NULL:
            snmp_pdu_add_variable(pdu, name.data(), name.size(), type, nullptr, 0);
            break;
        default: {
            std::string bytes = in.ConsumeRandomLengthString(300);
            snmp_pdu_add_variable(pdu, name.data(), name.size(), type, bytes.data(), bytes.size());
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static World world;
    FuzzedDataProvider in(data, size);
    const int commands[] = {SNMP_MSG_TRAP, SNMP_MSG_TRAP2, SNMP_MSG_INFORM, SNMP_MSG_GET};
    int command = in.PickValueInArray(commands);
    netsnmp_pdu* pdu = snmp_pdu_create(command);
    pdu->version = command == SNMP_MSG_TRAP ? SNMP_VERSION_1 : SNMP_VERSION_2c;

    std::vector<oid> enterprise = Oid(in, 200);
    if (!enterprise.empty()) {
        pdu->enterprise = snmp_duplicate_objid(enterprise.data(), enterprise.size());
        pdu->enterprise_length = enterprise.size();
    }
    for (auto& byte : pdu->agent_addr) {
        byte = in.ConsumeIntegral<u_char>();
    }
    pdu->trap_type =
        in.ConsumeBool() ? in.ConsumeIntegralInRange<long>(-1, 8) : in.ConsumeIntegral<long>();
    pdu->specific_type =
        in.ConsumeBool() ? in.ConsumeIntegralInRange<long>(-1, 9) : in.ConsumeIntegral<long>();
    pdu->time = in.ConsumeIntegral<u_long>();

    // The packet's source, as the UDP transport attaches it.
    std::size_t sourceLength =
        in.ConsumeIntegralInRange<std::size_t>(0, sizeof(netsnmp_indexed_addr_pair));
    if (sourceLength > 0) {
        auto* source = static_cast<u_char*>(std::calloc(1, sizeof(netsnmp_indexed_addr_pair)));
        std::string bytes = in.ConsumeBytesAsString(sourceLength);
        std::memcpy(source, bytes.data(), bytes.size());
        sa_family_t family = in.ConsumeBool() ? AF_INET : (in.ConsumeBool() ? AF_INET6 : 0);
        std::memcpy(source + offsetof(sockaddr, sa_family), &family, sizeof(family));
        pdu->transport_data = source;
        pdu->transport_data_length = static_cast<int>(sourceLength);
    }

    std::size_t count = in.ConsumeIntegralInRange<std::size_t>(0, 12);
    for (std::size_t i = 0; i < count && in.remaining_bytes() > 0; ++i) {
        AddBinding(in, pdu, command != SNMP_MSG_TRAP, i);
    }

    SnmpTrap trap;
    if (TrapFromPdu(*pdu, trap)) {
        if (trap.generic < 0 || trap.enterprise.size() > MAX_OID_LEN) {
            __builtin_trap();
        }
        CountingLog log;
        TrapListener listener(world.doc, log, nullptr);
        listener.HandleTrap(trap);
        // One line for a trap that names no IPv4 sender, else the header and
        // two or three lines of its own.
        bool ipv4 = IsUsableAgentAddress(trap.agentAddress);
        if (ipv4 ? (log.lines < 5 || log.lines > 6) : log.lines != 1) {
            __builtin_trap();
        }
        world.state.Terminals().Clear();
    }
    snmp_free_pdu(pdu);
    return 0;
}
