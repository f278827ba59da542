// OID texts come from the settings file and from terminals' prefixes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/snmp/SnmpTypes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    SnmpOid oid;
    if (ParseOidText(text, oid)) {
        // A parsed OID prints as text that parses to the same OID.
        SnmpOid again;
        if (!ParseOidText(OidToText(oid), again) || again != oid) {
            __builtin_trap();
        }
    }
    return 0;
}
