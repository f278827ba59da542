// From the library's parsed notification to the listener's trap.
#include "core/traps/TrapPdu.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/snmp/NetSnmpValues.h"
#include "core/traps/TrapDecoding.h"

namespace {

// snmpTrapOID.0, snmpTrapEnterprise.0 and the standard traps' prefix (SNMPv2-MIB).
const SnmpOid kSnmpTrapOid = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};
const SnmpOid kSnmpTrapEnterprise = {1, 3, 6, 1, 6, 3, 1, 1, 4, 3, 0};
const SnmpOid kSnmpTraps = {1, 3, 6, 1, 6, 3, 1, 1, 5};

SnmpOid NameOf(const netsnmp_variable_list& var) {
    SnmpOid name;
    if (var.name) {
        name.assign(var.name, var.name + std::min<std::size_t>(var.name_length, MAX_OID_LEN));
    }
    return name;
}

// What decoding reads of a binding: its type, and the value of an INTEGER.
SnmpVarBind DecodedBinding(const netsnmp_variable_list& var) {
    SnmpVarBind bind;
    bind.value.type = var.type;
    if (var.type == ASN_INTEGER) {
        bind.value.integer = FromNetSnmpVariable(var).integer;
    }
    return bind;
}

bool StartsWith(const SnmpOid& oid, const SnmpOid& prefix) {
    return oid.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), oid.begin());
}

// The packet's source address, from what the UDP transport attached to the PDU.
std::vector<std::uint8_t> SourceAddress(const netsnmp_pdu& pdu) {
    if (!pdu.transport_data || pdu.transport_data_length <= 0) {
        return {};
    }
    // The address pair starts with the remote address; copy it out, since the
    // transport's buffer has no guaranteed alignment for us.
    sockaddr_storage remote{};
    std::memcpy(&remote, pdu.transport_data,
                std::min(sizeof(remote), static_cast<std::size_t>(pdu.transport_data_length)));
    std::size_t available = static_cast<std::size_t>(pdu.transport_data_length);
    if (remote.ss_family == AF_INET && available >= sizeof(sockaddr_in)) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(remote);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&in.sin_addr);
        return {bytes, bytes + 4};
    }
    if (remote.ss_family == AF_INET6 && available >= sizeof(sockaddr_in6)) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(remote);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&in6.sin6_addr);
        if (IN6_IS_ADDR_V4MAPPED(&in6.sin6_addr)) {
            return {bytes + 12, bytes + 16};
        }
        return {bytes, bytes + 16};
    }
    return {};
}

// The bindings from `first` on that decoding reads, up to the reason's index.
// Counter64 values have no version 1 form and do not count.
void KeepDecodedBindings(const netsnmp_variable_list* first, SnmpTrap& trap) {
    int last = TrapReasonIndex(trap.generic, trap.specific);
    for (const auto* var = first; var && static_cast<int>(trap.bindings.size()) <= last;
         var = var->next_variable) {
        if (var->type != ASN_COUNTER64) {
            trap.bindings.push_back(DecodedBinding(*var));
        }
    }
}

bool FromVersion1(const netsnmp_pdu& pdu, SnmpTrap& trap) {
    // A crafted enterprise length or trap number must never reach a table or a copy.
    if (pdu.enterprise_length > MAX_OID_LEN || (pdu.enterprise_length > 0 && !pdu.enterprise)) {
        return false;
    }
    if (pdu.trap_type < 0 || pdu.trap_type > INT_MAX || pdu.specific_type < INT_MIN ||
        pdu.specific_type > INT_MAX) {
        return false;
    }
    if (pdu.enterprise_length > 0) {
        trap.enterprise.assign(pdu.enterprise, pdu.enterprise + pdu.enterprise_length);
    }
    trap.agentAddress.assign(pdu.agent_addr, pdu.agent_addr + sizeof(pdu.agent_addr));
    trap.generic = static_cast<int>(pdu.trap_type);
    trap.specific = static_cast<int>(pdu.specific_type);
    trap.timeStamp = static_cast<unsigned long>(pdu.time) & 0xFFFFFFFFul;
    KeepDecodedBindings(pdu.variables, trap);
    return true;
}

// RFC 3584, 3.2: the notification's snmpTrapOID gives the generic and specific
// numbers and the enterprise; sysUpTime.0 gives the time stamp.
bool FromVersion2(const netsnmp_pdu& pdu, SnmpTrap& trap) {
    const netsnmp_variable_list* upTime = pdu.variables;
    const netsnmp_variable_list* trapOidBinding = upTime ? upTime->next_variable : nullptr;
    if (!trapOidBinding || NameOf(*trapOidBinding) != kSnmpTrapOid) {
        return false;
    }
    SnmpValue trapOidValue = FromNetSnmpVariable(*trapOidBinding);
    if (trapOidValue.type != asn::kObjectId || trapOidValue.objectId.empty()) {
        return false;
    }
    const SnmpOid& trapOid = trapOidValue.objectId;
    if (upTime->type == ASN_TIMETICKS) {
        trap.timeStamp = static_cast<unsigned long>(FromNetSnmpVariable(*upTime).integer);
    }
    std::uint32_t last = trapOid.back();
    if (trapOid.size() == kSnmpTraps.size() + 1 && StartsWith(trapOid, kSnmpTraps) && last >= 1 &&
        last <= 6) {
        trap.generic = static_cast<int>(last) - 1;
        trap.specific = 0;
        trap.enterprise = kSnmpTraps;
        for (const auto* var = pdu.variables; var; var = var->next_variable) {
            if (var->type == ASN_OBJECT_ID && NameOf(*var) == kSnmpTrapEnterprise) {
                trap.enterprise = FromNetSnmpVariable(*var).objectId;
            }
        }
    } else {
        if (last > static_cast<std::uint32_t>(INT_MAX)) {
            return false;
        }
        trap.generic = 6;
        trap.specific = static_cast<int>(last);
        std::size_t keep = trapOid.size() - 1;
        if (keep > 0 && trapOid[keep - 1] == 0) {
            --keep;
        }
        trap.enterprise.assign(trapOid.begin(), trapOid.begin() + static_cast<long>(keep));
    }
    // The first two bindings are the header.
    KeepDecodedBindings(trapOidBinding->next_variable, trap);
    trap.agentAddress = SourceAddress(pdu);
    return true;
}

// One element of a BER encoding: its tag and where its contents lie.
struct BerElement {
    std::uint8_t tag = 0;
    const std::uint8_t* contents = nullptr;
    std::size_t length = 0;
};

// Reads the element at `at` (which moves past it); false when it does not fit
// before `end` or uses a form SNMP does not.
bool ReadElement(const std::uint8_t*& at, const std::uint8_t* end, BerElement& element) {
    if (end - at < 2) {
        return false;
    }
    element.tag = at[0];
    std::size_t length = at[1];
    const std::uint8_t* contents = at + 2;
    if ((length & 0x80) != 0) {
        std::size_t octets = length & 0x7F;
        if (octets == 0 || octets > 4 || static_cast<std::size_t>(end - contents) < octets) {
            return false;
        }
        length = 0;
        for (std::size_t i = 0; i < octets; ++i) {
            length = (length << 8) | *contents++;
        }
    }
    if (static_cast<std::size_t>(end - contents) < length) {
        return false;
    }
    element.contents = contents;
    element.length = length;
    at = contents + length;
    return true;
}

}  // namespace

bool TrapFromPdu(const snmp_pdu& pdu, SnmpTrap& trap) {
    trap = SnmpTrap{};
    if (pdu.command == SNMP_MSG_TRAP) {
        return FromVersion1(pdu, trap);
    }
    if (pdu.command == SNMP_MSG_TRAP2 || pdu.command == SNMP_MSG_INFORM) {
        return FromVersion2(pdu, trap);
    }
    return false;
}

std::optional<std::size_t> V1AgentAddressLength(const std::uint8_t* data, std::size_t length) {
    // Message { version, community, Trap-PDU { enterprise, agent-addr, ... } }.
    const std::uint8_t* at = data;
    BerElement message, version, community, pdu, enterprise, agent;
    if (!data || !ReadElement(at, data + length, message) || message.tag != 0x30) {
        return std::nullopt;
    }
    const std::uint8_t* end = message.contents + message.length;
    at = message.contents;
    if (!ReadElement(at, end, version) || !ReadElement(at, end, community) ||
        !ReadElement(at, end, pdu) || pdu.tag != SNMP_MSG_TRAP) {
        return std::nullopt;
    }
    end = pdu.contents + pdu.length;
    at = pdu.contents;
    if (!ReadElement(at, end, enterprise) || !ReadElement(at, end, agent)) {
        return std::nullopt;
    }
    return agent.length;
}
