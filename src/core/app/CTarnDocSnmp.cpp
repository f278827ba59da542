// SNMP GET and SET of named objects, with their failure texts.
#include <algorithm>
#include <cstdio>

#include "core/app/CTarnDoc.h"
#include "core/common/Sentinel.h"
#include "core/common/TextFormat.h"
#include "core/snmp/SnmpErrorText.h"

namespace {

constexpr int kDefaultTimeoutMs = 2000;
constexpr int kDefaultRetries = 3;
constexpr std::size_t kMaxOctetText = 254;
// The agent's status for an object it does not know.
constexpr long kNoSuchName = 2;

std::string RequestFailureText(const char* prefix, unsigned long code, const char* marker) {
    if (code == snmpcode::kTimeout) {
        return FormatText("%s - The request timed-out - %s", prefix, marker);
    }
    if (code == snmpcode::kSelect) {
        return FormatText(
            "%s - Unexpected error file descriptors indicated by the Windows Sockets select "
            "function - %s",
            prefix, marker);
    }
    return FormatText("%s - Unknown SnmpMgrRequest Function Error = %lu - %s", prefix, code,
                      marker);
}

// "Get - %s - %s" / "Set - %s - %s" with the status text and the current result.
std::string StatusText(const char* operation, long status, const std::string& current) {
    if (status >= 1 && status <= 18) {
        return FormatText("%s - %s - %s", operation, SnmpErrorStatusText(status), current.c_str());
    }
    return FormatText("%s - Unknown SNMP Error Status = %d - %s", operation,
                      static_cast<int>(status), current.c_str());
}

// An answer counts only when its one binding names the object asked for: an
// agent that answers with another object's binding has not answered the question.
bool AnswersQuestion(const SnmpVarBindList& answered, const SnmpOid& asked) {
    return answered.size() == 1 && answered[0].name == asked;
}

bool IsConvertible(const SnmpValue& value) {
    return value.type == asn::kOctetString || value.type == asn::kInteger ||
           value.type == asn::kObjectId;
}

std::string ValueToText(const SnmpValue& value, const std::string& oidName) {
    switch (value.type) {
        case asn::kOctetString: {
            if (oidName == "OidMacAdr") {
                return FormatHexBytes(value.octets.data(),
                                      std::min<std::size_t>(6, value.octets.size()));
            }
            std::string text;
            for (auto byte : value.octets) {
                if (byte == 0 || text.size() == kMaxOctetText) {
                    break;
                }
                text += static_cast<char>(byte);
            }
            return text;
        }
        case asn::kInteger:
            return FormatText("%d", static_cast<int>(value.integer));
        case asn::kObjectId:
            return OidToText(value.objectId);
        default:
            return "GetNotOctStrOrIntegerError";
    }
}

}  // namespace

std::optional<unsigned> CTarnDoc::AgentPort() const {
    std::string problem;
    auto port = GetPortSetting("SnmpPort", 161, problem);
    if (!port) {
        ReportOnce("SnmpPort", problem);
    }
    return port;
}

std::optional<std::string> CTarnDoc::FormRequest(const std::string& terminalIP,
                                                 const std::string& oidName, int index, bool forSet,
                                                 SnmpVarBindList& bindings) {
    std::string oid = GetOidFromStr(oidName, terminalIP);
    if (oid == "N/A") {
        return std::string("N/A");
    }
    std::string text =
        oidName.compare(0, 6, "EntOid") == 0 ? GetEnterprisePrefix(terminalIP) + oid : oid;
    if (!forSet && index != 0) {
        text += FormatText(".%d", index);
    }
    SnmpOid name;
    if (!m_snmp.StrToOid(text, name)) {
        return std::string(forSet ? "Set - Could not properly convert OID to object - "
                                    "SetSnmpMgrStrToOidError"
                                  : "Could not properly convert OID to object - "
                                    "GetSnmpMgrStrToOidError");
    }
    if (!m_snmp.AllocateBindings(bindings, 1)) {
        return std::string(
            forSet ? "Set - Could not Allocate Variable Bindings - AllocatingBindError"
                   : "Get - Could not Allocate Variable Bindings - AllocatingBindError");
    }
    bindings[0].name = std::move(name);
    bindings[0].value = SnmpValue{};
    return std::nullopt;
}

SnmpOutcome CTarnDoc::GetSnmpOutcome(const std::string& terminalIP, const std::string& oidName,
                                     int index, int timeoutMs, int retries) {
    SnmpVarBindList bindings;
    if (auto early = FormRequest(terminalIP, oidName, index, false, bindings)) {
        return {*early, *early == "N/A"};
    }
    const SnmpOid asked = bindings[0].name;
    auto port = AgentPort();
    SnmpOpenParams params{terminalIP, port.value_or(0), m_state.GetCommunity().Get(),
                          kDefaultTimeoutMs, kDefaultRetries};
    params.communityKey = "GetCommunity";
    if (timeoutMs != 0) {
        params.timeoutMs = timeoutMs;
        params.retries = retries;
    }

    std::string result;
    bool converted = false;
    unsigned long code = 0;
    long status = 0;
    // Without a usable port no session is opened (code 0: nothing was tried).
    auto session = port ? m_snmp.Open(params, code) : nullptr;
    if (!session) {
        result = "SnmpMgrOpenError";
    } else {
        SnmpRequestResult answer = session->Request(SnmpPduType::Get, bindings);
        if (!answer.ok) {
            result = "SnmpMgrRequestGETError";
            code = answer.failureCode;
        } else if (answer.errorStatus > 0) {
            result = "AgentErrorStatusError";
            status = answer.errorStatus;
        } else if (!AnswersQuestion(bindings, asked)) {
            result = "AgentErrorStatusError";
            status = kNoSuchName;
        } else {
            status = answer.errorStatus;
            converted = !bindings.empty() && IsConvertible(bindings[0].value);
            result = converted ? ValueToText(bindings[0].value, oidName)
                               : std::string("GetNotOctStrOrIntegerError");
        }
    }
    bindings.clear();
    if (!m_snmp.Close(std::move(session))) {
        result = "SnmpMgrCloseError";
        converted = false;
    }

    if (result == "SnmpMgrOpenError") {
        if (code == snmpcode::kMemory) {
            return {"Snmp Open - Memory Allocation Failure - SnmpMgrOpenError", false, true};
        }
        return {FormatText("%s%lu - %s", "Snmp Open - Unknown SnmpMgrOpen Function Error = ", code,
                           "SnmpMgrOpenError"),
                false, true};
    }
    if (result == "SnmpMgrRequestGETError") {
        return {RequestFailureText("Get Get", code, "SnmpMgrRequestGETError"), false, true};
    }
    if (status != 0) {
        return {StatusText("Get", status, result), false};
    }
    return {result, converted};
}

SnmpOutcome CTarnDoc::SetSnmpOutcome(const std::string& terminalIP, const std::string& oidName,
                                     const std::string& value) {
    SnmpVarBindList bindings;
    if (auto early = FormRequest(terminalIP, oidName, 0, true, bindings)) {
        return {*early, false};
    }
    const SnmpOid asked = bindings[0].name;
    auto port = AgentPort();
    SnmpOpenParams params{terminalIP, port.value_or(0), m_state.SetCommunity().Get(),
                          kDefaultTimeoutMs, kDefaultRetries};
    params.communityKey = "SetCommunity";

    std::string result = kNoneNoneNone;
    unsigned long getCode = 0, setCode = 0;
    long status = 0;
    auto session = port ? m_snmp.Open(params, getCode) : nullptr;
    if (!session) {
        result = "SnmpMgrOpenError";
    } else {
        SnmpRequestResult typeAnswer = session->Request(SnmpPduType::Get, bindings);
        if (!typeAnswer.ok) {
            result = "SnmpMgrRequestGETError";
            getCode = typeAnswer.failureCode;
        } else if (typeAnswer.errorStatus > 0 || !AnswersQuestion(bindings, asked)) {
            result = "AgentErrorStatusError";
            status = typeAnswer.errorStatus > 0 ? typeAnswer.errorStatus : kNoSuchName;
        } else {
            SnmpValue& slot = bindings[0].value;
            bool typeHandled = true;
            if (slot.type == asn::kOctetString) {
                slot.octets.assign(value.begin(), value.end());
            } else if (slot.type == asn::kInteger) {
                // Text that does not begin with a number writes 0.
                long number = 0;
                std::sscanf(value.c_str(), "%ld", &number);
                slot.integer = number;
            } else {
                result = "ASNTypeNotOctetOrIntError";
                typeHandled = false;
            }
            if (typeHandled) {
                SnmpRequestResult setAnswer = session->Request(SnmpPduType::Set, bindings);
                if (!setAnswer.ok) {
                    result = "SnmpMgrRequestSETError";
                    setCode = setAnswer.failureCode;
                } else {
                    // A SET answered for another object did not write this one.
                    status = setAnswer.errorStatus > 0 || AnswersQuestion(bindings, asked)
                                 ? setAnswer.errorStatus
                                 : kNoSuchName;
                }
            }
        }
    }
    bindings.clear();
    if (!m_snmp.Close(std::move(session))) {
        result = "SnmpMgrCloseError";
    }

    if (result == "SnmpMgrRequestGETError") {
        return {RequestFailureText("Set Get", getCode, "SnmpMgrRequestGETError"), false, true};
    }
    if (result == "SnmpMgrRequestSETError") {
        return {RequestFailureText("Set Set", setCode, "SnmpMgrRequestSETError"), false, true};
    }
    if (status != 0) {
        return {StatusText("Set", status, result), false};
    }
    return {result, result == kNoneNoneNone};
}
