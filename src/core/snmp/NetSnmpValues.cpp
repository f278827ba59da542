#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <algorithm>

#include "core/snmp/NetSnmpValues.h"

SnmpValue FromNetSnmpVariable(const variable_list& var) {
    SnmpValue value;
    value.type = var.type;
    switch (var.type) {
        case ASN_INTEGER:
            if (var.val.integer && var.val_len >= sizeof(long)) {
                value.integer = *var.val.integer;
            }
            break;
        case ASN_COUNTER:
        case ASN_GAUGE:
        case ASN_TIMETICKS:
            if (var.val.integer && var.val_len >= sizeof(long)) {
                value.integer = static_cast<unsigned long>(*var.val.integer) & 0xFFFFFFFFul;
            }
            break;
        case ASN_COUNTER64:
            if (var.val.counter64 && var.val_len >= sizeof(counter64)) {
                value.integer = static_cast<long long>(
                    (static_cast<unsigned long long>(var.val.counter64->high) << 32) |
                    var.val.counter64->low);
            }
            break;
        case ASN_OBJECT_ID:
            if (var.val.objid) {
                std::size_t count = std::min<std::size_t>(var.val_len / sizeof(oid), MAX_OID_LEN);
                for (std::size_t i = 0; i < count; ++i) {
                    value.objectId.push_back(static_cast<std::uint32_t>(var.val.objid[i]));
                }
            }
            break;
        default:
            if (var.val.string && var.val_len > 0) {
                value.octets.assign(var.val.string, var.val.string + var.val_len);
            }
            break;
    }
    return value;
}
