#include "SnmpCodec.h"

// net-snmp wants its configuration header first.
#include <net-snmp/net-snmp-config.h>

#include <net-snmp/library/snmp_impl.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstdlib>
#include <cstring>

namespace simfleet {

static_assert(tag::kInteger == ASN_INTEGER && tag::kOctetString == ASN_OCTET_STR &&
              tag::kNull == ASN_NULL && tag::kObjectId == ASN_OBJECT_ID &&
              tag::kIpAddress == ASN_IPADDRESS && tag::kCounter == ASN_COUNTER &&
              tag::kGauge == ASN_GAUGE && tag::kTimeTicks == ASN_TIMETICKS);
static_assert(pdu::kGet == SNMP_MSG_GET && pdu::kGetNext == SNMP_MSG_GETNEXT &&
              pdu::kResponse == SNMP_MSG_RESPONSE && pdu::kSet == SNMP_MSG_SET &&
              pdu::kTrap == SNMP_MSG_TRAP);
#ifndef NETSNMP_USE_REVERSE_ASNENCODING
#error "the encoder below relies on net-snmp's reverse encoding"
#endif

namespace {

constexpr std::size_t kMaxCommunity = 256;

std::vector<oid> ToNetSnmp(const Oid& value) {
    return std::vector<oid>(value.begin(), value.end());
}

Value FromVariable(const netsnmp_variable_list* var) {
    Value value;
    value.type = var->type;
    switch (var->type) {
        case ASN_INTEGER:
        case ASN_COUNTER:
        case ASN_GAUGE:
        case ASN_TIMETICKS:
            value.integer = var->val.integer ? *var->val.integer : 0;
            break;
        case ASN_OBJECT_ID:
            if (var->val.objid) {
                for (std::size_t i = 0; i < var->val_len / sizeof(oid); ++i) {
                    value.objectId.push_back(static_cast<std::uint32_t>(var->val.objid[i]));
                }
            }
            break;
        case ASN_NULL:
            break;
        default:
            if (var->val.string && var->val_len > 0) {
                value.octets.assign(reinterpret_cast<const char*>(var->val.string), var->val_len);
            }
            break;
    }
    return value;
}

bool AddVariable(netsnmp_pdu* message, const VarBind& bind) {
    std::vector<oid> name = ToNetSnmp(bind.oid);
    const Value& v = bind.value;
    switch (v.type) {
        case tag::kNull:
            return snmp_add_null_var(message, name.data(), name.size()) != nullptr;
        case tag::kInteger:
        case tag::kCounter:
        case tag::kGauge:
        case tag::kTimeTicks: {
            long number = v.integer;
            return snmp_pdu_add_variable(message, name.data(), name.size(),
                                         static_cast<u_char>(v.type), &number,
                                         sizeof(number)) != nullptr;
        }
        case tag::kObjectId: {
            std::vector<oid> value = ToNetSnmp(v.objectId);
            return snmp_pdu_add_variable(message, name.data(), name.size(), ASN_OBJECT_ID,
                                         value.data(), value.size() * sizeof(oid)) != nullptr;
        }
        default:
            return snmp_pdu_add_variable(message, name.data(), name.size(),
                                         static_cast<u_char>(v.type), v.octets.data(),
                                         v.octets.size()) != nullptr;
    }
}

bool SetCommunity(netsnmp_pdu* message, const std::string& community) {
    message->community = static_cast<u_char*>(std::malloc(community.size() + 1));
    if (!message->community) {
        return false;
    }
    std::memcpy(message->community, community.data(), community.size());
    message->community_len = community.size();
    return true;
}

// Encodes and frees the message. The reverse encoder fills the buffer from
// its end, so the datagram is the last `offset` bytes.
std::string Build(netsnmp_pdu* message) {
    netsnmp_session session;
    snmp_sess_init(&session);
    session.version = SNMP_VERSION_1;
    message->flags &= ~UCD_MSG_FLAG_FORWARD_ENCODE;
    size_t size = 2048;
    size_t offset = 0;
    auto* buffer = static_cast<u_char*>(std::malloc(size));
    std::string datagram;
    if (buffer && snmp_build(&buffer, &size, &offset, &session, message) == 0) {
        datagram.assign(reinterpret_cast<const char*>(buffer + size - offset), offset);
    }
    std::free(buffer);
    snmp_free_pdu(message);
    return datagram;
}

}  // namespace

void InitialiseSnmpLibrary(const char* name) {
    ::setenv("MIBS", "", 1);
    ::setenv("MIBDIRS", "", 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    init_snmp(name);
    // Older releases choose the encoder by this setting, newer ones by the
    // message's flag; Build() clears the flag, so both pick the reverse one.
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_REVERSE_ENCODE, 1);
}

void ShutdownSnmpLibrary(const char* name) {
    snmp_shutdown(name);
}

std::optional<Request> DecodeRequest(const unsigned char* data, std::size_t length) {
    std::vector<u_char> copy(data, data + length);
    u_char community[kMaxCommunity];
    size_t communityLength = sizeof(community);
    size_t remaining = copy.size();
    long version = -1;
    u_char* body =
        snmp_comstr_parse(copy.data(), &remaining, community, &communityLength, &version);
    if (!body || version != SNMP_VERSION_1) {
        return std::nullopt;
    }
    netsnmp_pdu* message = snmp_pdu_create(SNMP_MSG_GET);
    if (!message) {
        return std::nullopt;
    }
    std::optional<Request> request;
    if (snmp_pdu_parse(message, body, &remaining) == 0) {
        request.emplace();
        request->version = version;
        request->community.assign(reinterpret_cast<const char*>(community), communityLength);
        request->command = message->command;
        request->requestId = message->reqid;
        for (auto* var = message->variables; var; var = var->next_variable) {
            Oid name;
            for (std::size_t i = 0; i < var->name_length; ++i) {
                name.push_back(static_cast<std::uint32_t>(var->name[i]));
            }
            request->bindings.push_back({name, FromVariable(var)});
        }
    }
    snmp_free_pdu(message);
    return request;
}

std::string EncodeResponse(const Request& request, const Answer& answer) {
    netsnmp_pdu* message = snmp_pdu_create(SNMP_MSG_RESPONSE);
    if (!message) {
        return {};
    }
    message->version = SNMP_VERSION_1;
    message->reqid = request.requestId;
    message->errstat = answer.errorStatus;
    message->errindex = answer.errorIndex;
    bool ok = SetCommunity(message, request.community);
    for (const auto& bind : answer.bindings) {
        ok = ok && AddVariable(message, bind);
    }
    if (!ok) {
        snmp_free_pdu(message);
        return {};
    }
    return Build(message);
}

std::string EncodeTrap(const Trap& trap) {
    netsnmp_pdu* message = snmp_pdu_create(SNMP_MSG_TRAP);
    if (!message) {
        return {};
    }
    message->version = SNMP_VERSION_1;
    std::vector<oid> enterprise = ToNetSnmp(trap.enterprise);
    message->enterprise = snmp_duplicate_objid(enterprise.data(), enterprise.size());
    message->enterprise_length = enterprise.size();
    std::memcpy(message->agent_addr, &trap.agentAddress.s_addr, 4);
    message->trap_type = trap.generic;
    message->specific_type = trap.specific;
    message->time = trap.timeStamp;
    bool ok = message->enterprise && SetCommunity(message, trap.community);
    for (const auto& bind : trap.bindings) {
        ok = ok && AddVariable(message, bind);
    }
    if (!ok) {
        snmp_free_pdu(message);
        return {};
    }
    return Build(message);
}

}  // namespace simfleet
