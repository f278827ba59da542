#include "TerminalMib.h"

#include <cstdio>

namespace simfleet {

namespace {

// sysUpTime is standard MIB-II; the console never asks for it, but traps
// carry it and a walk of the system group expects it.
const Oid kSysUpTime = {1, 3, 6, 1, 2, 1, 1, 3, 0};
constexpr long kEthernet = 6;
constexpr long kSoftwareLoopback = 24;
constexpr long kWireless = 71;
constexpr std::size_t kMaxText = 255;

std::string Hex(const std::string& bytes) {
    std::string text;
    char two[4];
    for (unsigned char c : bytes) {
        std::snprintf(two, sizeof(two), "%02X", c);
        text += two;
    }
    return text;
}

}  // namespace

Value Value::Text(std::string text) {
    Value value;
    value.type = tag::kOctetString;
    value.octets = std::move(text);
    return value;
}

Value Value::Integer(long number) {
    Value value;
    value.type = tag::kInteger;
    value.integer = number;
    return value;
}

std::string Value::Display() const {
    switch (type) {
        case tag::kInteger:
        case tag::kCounter:
        case tag::kGauge:
        case tag::kTimeTicks:
            return std::to_string(integer);
        case tag::kObjectId:
            return FormatOid(objectId);
        case tag::kNull:
            return "NULL";
        case tag::kOctetString:
            for (unsigned char c : octets) {
                if (c < 0x20 || c > 0x7E) {
                    return "0x" + Hex(octets);
                }
            }
            return "\"" + octets + "\"";
        default:
            return "0x" + Hex(octets);
    }
}

TerminalMib::TerminalMib(const TerminalSetup& setup, const Product& product,
                         const ObjectLayout& layout)
    : m_started(std::chrono::steady_clock::now()) {
    std::string key = product.key.empty() ? "OTHER" : product.key;
    std::string build =
        setup.buildNumber.empty() ? (product.older ? "3.7.215" : "5.2.1044") : setup.buildNumber;
    std::string description =
        setup.description.empty() ? key + " thin client, firmware " + build : setup.description;
    auto initial = [&](const std::string& name) -> Value {
        if (name == "OidSysName")
            return Value::Text(setup.name);
        if (name == "OidSysDesc")
            return Value::Text(description);
        if (name == "OidSysLocation")
            return Value::Text(setup.location);
        if (name == "OidSysContact")
            return Value::Text(setup.contact);
        if (name == "OidNumInterfaceTblEnt")
            return Value::Integer(setup.interfaces);
        if (name == "EntOidModDate")
            return Value::Text(setup.modDate);
        if (name == "EntOidBuildNum")
            return Value::Text(build);
        if (name == "EntOidPlatForm")
            return Value::Text(setup.platform.empty() ? "x86 " + key : setup.platform);
        if (name == "EntOidCustomField1")
            return Value::Text(setup.customFields[0]);
        if (name == "EntOidCustomField2")
            return Value::Text(setup.customFields[1]);
        if (name == "EntOidCustomField3")
            return Value::Text(setup.customFields[2]);
        if (name == "EntOidDomainName")
            return Value::Text(setup.domainName);
        if (name == "EntOidTrapServer5")
            return Value::Text(setup.trapServer);
        switch (KindOf(name)) {
            case ObjectKind::Integer:
            case ObjectKind::WritableInteger:
                return Value::Integer(0);
            default:
                return Value::Text("");
        }
    };

    Add(kSysUpTime, "sysUpTime", Value{tag::kTimeTicks, 0, {}, {}}, false);
    for (const auto& place : layout.PlacesFor(product)) {
        ObjectKind kind = KindOf(place.name);
        if (kind == ObjectKind::Column) {
            continue;  // the interface table is built below
        }
        if (place.fixedAnswer) {
            Add(place.oid, place.name, Value::Text("1"), false, false);
            continue;
        }
        Value value = initial(place.name);
        if (kind == ObjectKind::ObjectId) {
            value = Value{tag::kObjectId, 0, {}, product.sysObjectId};
        }
        Add(place.oid, place.name, value,
            kind == ObjectKind::WritableText || kind == ObjectKind::WritableInteger);
    }

    // The interface table: the Ethernet entry where the fleet file puts it, a
    // loopback entry and wireless entries elsewhere.
    const Oid& typeColumn = layout.Mib("OidInterfaceType");
    const Oid& macColumn = layout.Mib("OidMacAdr");
    Oid entry(typeColumn.begin(), typeColumn.end() - 1);
    bool loopbackGiven = false;
    unsigned wireless = 0;
    for (unsigned i = 1; i <= setup.interfaces; ++i) {
        auto at = [&](const Oid& column) { return Concat(column, {i}); };
        std::string physical;
        long type = 0;
        std::string label;
        if (i == setup.ethernetIndex) {
            type = kEthernet;
            label = "eth0";
            physical.assign(setup.mac.begin(), setup.mac.end());
        } else if (!loopbackGiven) {
            loopbackGiven = true;
            type = kSoftwareLoopback;
            label = "lo";
        } else {
            type = kWireless;
            label = "wlan" + std::to_string(wireless++);
            physical.assign(setup.mac.begin(), setup.mac.end());
            physical[0] = static_cast<char>(0x06);  // another locally administered address
            physical[5] = static_cast<char>(physical[5] + static_cast<char>(i));
        }
        Add(at(Concat(entry, {1})), "", Value::Integer(i), false, false);
        Add(at(Concat(entry, {2})), "", Value::Text(label), false, false);
        Add(at(typeColumn), "", Value::Integer(type), false, false);
        Add(at(macColumn), "", Value::Text(physical), false, false);
    }
}

void TerminalMib::Add(const Oid& oid, const std::string& name, const Value& value, bool writable,
                      bool named) {
    m_objects[oid] = Object{name, value, writable};
    if (named && !name.empty()) {
        m_byName[name] = oid;
    }
}

unsigned long TerminalMib::UpTime() const {
    auto elapsed = std::chrono::steady_clock::now() - m_started;
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    return static_cast<unsigned long>(ms / 10 % 4294967296LL);
}

void TerminalMib::Restarted() {
    m_started = std::chrono::steady_clock::now();
}

Value TerminalMib::Current(const Object& object) const {
    Value value = object.value;
    if (object.name == "sysUpTime") {
        value.integer = static_cast<long>(UpTime());
    }
    return value;
}

Answer TerminalMib::Get(const std::vector<VarBind>& request) const {
    Answer answer;
    answer.bindings = request;
    for (std::size_t i = 0; i < request.size(); ++i) {
        auto found = m_objects.find(request[i].oid);
        if (found == m_objects.end()) {
            answer.errorStatus = status::kNoSuchName;
            answer.errorIndex = static_cast<int>(i + 1);
            answer.bindings = request;
            return answer;
        }
        answer.bindings[i].value = Current(found->second);
    }
    return answer;
}

Answer TerminalMib::GetNext(const std::vector<VarBind>& request) const {
    Answer answer;
    answer.bindings = request;
    for (std::size_t i = 0; i < request.size(); ++i) {
        auto next = m_objects.upper_bound(request[i].oid);
        if (next == m_objects.end()) {
            // Version 1 has no endOfMibView: the walk ends with noSuchName.
            answer.errorStatus = status::kNoSuchName;
            answer.errorIndex = static_cast<int>(i + 1);
            answer.bindings = request;
            return answer;
        }
        answer.bindings[i] = {next->first, Current(next->second)};
    }
    return answer;
}

Answer TerminalMib::Set(const std::vector<VarBind>& request, std::vector<std::string>& changed) {
    Answer answer;
    answer.bindings = request;
    for (std::size_t i = 0; i < request.size(); ++i) {
        auto found = m_objects.find(request[i].oid);
        int failure = status::kNoError;
        if (found == m_objects.end()) {
            failure = status::kNoSuchName;
        } else if (!found->second.writable) {
            failure = status::kReadOnly;
        } else if (request[i].value.type != found->second.value.type ||
                   request[i].value.octets.size() > kMaxText) {
            failure = status::kBadValue;
        }
        if (failure != status::kNoError) {
            answer.errorStatus = failure;
            answer.errorIndex = static_cast<int>(i + 1);
            return answer;
        }
    }
    for (const auto& bind : request) {
        Object& object = m_objects[bind.oid];
        object.value = bind.value;
        changed.push_back(object.name);
    }
    return answer;
}

std::optional<Oid> TerminalMib::OidOf(const std::string& name) const {
    auto found = m_byName.find(name);
    if (found == m_byName.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::string TerminalMib::Text(const std::string& name) const {
    auto oid = OidOf(name);
    return oid ? m_objects.at(*oid).value.octets : std::string();
}

long TerminalMib::Integer(const std::string& name) const {
    auto oid = OidOf(name);
    return oid ? m_objects.at(*oid).value.integer : 0;
}

void TerminalMib::Put(const std::string& name, const Value& value) {
    if (auto oid = OidOf(name)) {
        m_objects[*oid].value = value;
    }
}

std::string TerminalMib::NameAt(const Oid& oid) const {
    auto found = m_objects.find(oid);
    return found == m_objects.end() ? std::string() : found->second.name;
}

}  // namespace simfleet
