#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "FleetConfig.h"
#include "ObjectLayout.h"
#include "Oid.h"

namespace simfleet {

// ASN.1 tags of the values a terminal serves (the SNMP standard's numbers).
namespace tag {
constexpr int kInteger = 0x02;
constexpr int kOctetString = 0x04;
constexpr int kNull = 0x05;
constexpr int kObjectId = 0x06;
constexpr int kIpAddress = 0x40;
constexpr int kCounter = 0x41;
constexpr int kGauge = 0x42;
constexpr int kTimeTicks = 0x43;
}  // namespace tag

// SNMP version 1 error statuses.
namespace status {
constexpr int kNoError = 0;
constexpr int kTooBig = 1;
constexpr int kNoSuchName = 2;
constexpr int kBadValue = 3;
constexpr int kReadOnly = 4;
constexpr int kGenErr = 5;
}  // namespace status

struct Value {
    int type = tag::kNull;
    long integer = 0;
    std::string octets;
    Oid objectId;

    static Value Text(std::string text);
    static Value Integer(long number);
    std::string Display() const;  // for the request log
};

struct VarBind {
    Oid oid;
    Value value;
};

struct Answer {
    int errorStatus = status::kNoError;
    int errorIndex = 0;
    std::vector<VarBind> bindings;
};

// The objects of one terminal and the SNMP version 1 rules for reading and
// writing them. It knows nothing of sockets, so it answers the same for a
// datagram handled now or after a delay.
class TerminalMib {
public:
    TerminalMib(const TerminalSetup& setup, const Product& product, const ObjectLayout& layout);

    Answer Get(const std::vector<VarBind>& request) const;
    Answer GetNext(const std::vector<VarBind>& request) const;
    // Checks every binding before it changes anything; the names of the
    // objects changed are added to `changed`.
    Answer Set(const std::vector<VarBind>& request, std::vector<std::string>& changed);

    bool Serves(const std::string& name) const { return m_byName.count(name) != 0; }
    std::optional<Oid> OidOf(const std::string& name) const;
    std::string Text(const std::string& name) const;
    long Integer(const std::string& name) const;
    // Changes a named object from the terminal's side (after a transfer, a rename).
    void Put(const std::string& name, const Value& value);
    std::string NameAt(const Oid& oid) const;  // the OID name of an object, for the log
    unsigned long UpTime() const;              // centiseconds since the terminal started
    void Restarted();                          // a reboot: the up time starts again

private:
    struct Object {
        std::string name;
        Value value;
        bool writable = false;
    };
    void Add(const Oid& oid, const std::string& name, const Value& value, bool writable,
             bool named = true);
    Value Current(const Object& object) const;

    std::map<Oid, Object> m_objects;
    std::map<std::string, Oid> m_byName;
    std::chrono::steady_clock::time_point m_started;
};

}  // namespace simfleet
