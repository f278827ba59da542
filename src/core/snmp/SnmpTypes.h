#pragma once

#include <cstdint>
#include <string>
#include <vector>

// ASN.1 tags of the SNMP value types the console meets.
namespace asn {
inline constexpr std::uint8_t kInteger = 0x02;
inline constexpr std::uint8_t kOctetString = 0x04;
inline constexpr std::uint8_t kNull = 0x05;
inline constexpr std::uint8_t kObjectId = 0x06;
inline constexpr std::uint8_t kIpAddress = 0x40;
inline constexpr std::uint8_t kCounter = 0x41;
inline constexpr std::uint8_t kGauge = 0x42;
inline constexpr std::uint8_t kTimeTicks = 0x43;
inline constexpr std::uint8_t kOpaque = 0x44;
inline constexpr std::uint8_t kCounter64 = 0x46;
}  // namespace asn

using SnmpOid = std::vector<std::uint32_t>;

// One value as it travels in a variable binding. Which member holds the value
// depends on the type: integers and counters in `integer`, octet strings,
// addresses and opaque values in `octets`, object identifiers in `objectId`.
struct SnmpValue {
    std::uint8_t type = asn::kNull;
    long long integer = 0;
    std::vector<std::uint8_t> octets;
    SnmpOid objectId;
};

struct SnmpVarBind {
    SnmpOid name;
    SnmpValue value;
};

using SnmpVarBindList = std::vector<SnmpVarBind>;

enum class SnmpPduType { Get, Set };

// Failure codes of the session layer that the texts tell apart.
namespace snmpcode {
inline constexpr unsigned long kMemory = 1;    // out of memory opening a session
inline constexpr unsigned long kTimeout = 40;  // the request timed out
inline constexpr unsigned long kSelect = 41;   // waiting for the answer failed
// Any other failure of the library is reported as this base plus its error number.
inline constexpr unsigned long kLibraryBase = 1000;
}  // namespace snmpcode

struct SnmpRequestResult {
    bool ok = false;
    unsigned long failureCode = 0;  // when !ok
    long errorStatus = 0;           // when ok: the agent's error status
    long errorIndex = 0;
};

// "%02X" of each byte, concatenated.
std::string FormatHexBytes(const std::uint8_t* bytes, std::size_t count);

// Dotted text of an object identifier, each sub-identifier as "." and its value.
std::string OidToText(const SnmpOid& oid);

// Parses dotted OID text. Text with a leading dot is absolute; text without one
// is relative to mib-2 (.1.3.6.1.2.1), as the manager library has always taken it.
// Fails on anything but digits and single dots, on empty parts, and on values or
// lengths an SNMP message cannot carry.
bool ParseOidText(const std::string& text, SnmpOid& oid);
