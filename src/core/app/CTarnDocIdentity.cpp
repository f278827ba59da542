// Which product a terminal is, its enterprise prefix, its MAC address, and its
// registration in the terminal database.
#include <algorithm>

#include "core/app/CTarnDoc.h"
#include "core/common/Sentinel.h"
#include "core/common/TextFormat.h"
#include "core/terminals/TerminalDatabase.h"

namespace {
constexpr long kEthernetInterfaceType = 6;
// A terminal reporting an absurd interface count must not keep a worker asking
// for days; real terminals have a handful of interfaces.
constexpr long kMaxInterfacesSearched = 1024;
}  // namespace

std::string CTarnDoc::ResolveEnterprisePrefix(const std::string& sysObjectID) const {
    std::string key = GetINIValueStr("SysObjID", sysObjectID, IfMissing::Silent);
    if (key == kNoneNoneNone) {
        return sysObjectID;
    }
    return GetINIValueStr("SysObjID", key, IfMissing::Report);
}

std::string CTarnDoc::GetEnterprisePrefix(const std::string& terminalIP) const {
    auto entry = m_state.Terminals().FindByIP(terminalIP);
    return entry ? entry->record.m_entPrefix : std::string("SysObjIdError");
}

std::string CTarnDoc::GetProductSection(const std::string& terminalIP) {
    std::string id = GetSnmpValue(terminalIP, "OidSysObjID");
    std::string key = GetINIValueStr("SysObjID", id, IfMissing::Silent);
    if (key == kNoneNoneNone) {
        return "OTHER";
    }
    return GetINIValueStr("PSectXlate", key, IfMissing::Report);
}

bool CTarnDoc::IsModel2200(const std::string& terminalIP) {
    return Contains(GetProductSection(terminalIP), "2200");
}

std::string CTarnDoc::GetMacAddress(const std::string& terminalIP) {
    long count = ToLong(GetSnmpValue(terminalIP, "OidNumInterfaceTblEnt"));
    if (count == 0) {
        return "NoInterFaceTableError";
    }
    for (long i = 1; i <= std::min(count, kMaxInterfacesSearched); ++i) {
        int index = static_cast<int>(i);
        SnmpOutcome type = GetSnmpOutcome(terminalIP, "OidInterfaceType", index);
        // A terminal that stopped answering would cost a time-out per row.
        if (type.unanswered) {
            return type.text;
        }
        if (ToLong(type.text) == kEthernetInterfaceType) {
            return GetSnmpValue(terminalIP, "OidMacAdr", index);
        }
    }
    return "EtherNetMacAdrTypeNotFoundError";
}

// Registration gives up at the first request that gets no answer, so an
// address that does not answer costs one time-out, not one per object.
bool CTarnDoc::RegisterTerminal(const std::string& terminalIP) {
    SnmpOutcome id = GetSnmpOutcome(terminalIP, "OidSysObjID");
    if (id.unanswered) {
        return false;
    }
    long wanted = ToLong(GetINIValueStr("Misc", "DisplayProduct", IfMissing::Report));
    if (wanted != 0) {
        long groups = ToLong(GetINIValueStr("SysObjID", "x" + id.text, IfMissing::Silent));
        if (groups == 0 || (wanted & groups) == 0) {
            return false;
        }
    }
    std::string prefix = ResolveEnterprisePrefix(id.text);

    // Known at this address under the same name: nothing to do. The names are
    // read outside the database's lock.
    for (const auto& entry : m_state.Terminals().Entries()) {
        if (entry.record.m_ip != terminalIP) {
            continue;
        }
        SnmpOutcome name = GetSnmpOutcome(terminalIP, "OidSysName");
        if (name.unanswered || name.text == entry.record.m_name) {
            return false;
        }
    }

    TerminalRecord record;
    record.m_ip = terminalIP;
    record.m_entPrefix = prefix;
    // A terminal is known by its name: without one there is nothing to register.
    SnmpOutcome name = GetSnmpOutcome(terminalIP, "OidSysName");
    if (!name.ok) {
        return false;
    }
    record.m_name = name.text;
    // A terminal that stops answering now is still registered, as one that
    // answered with failures would be; the fields not yet read keep the
    // time-out text, without asking again.
    std::string silence;
    for (auto [field, oidName] : {std::pair{&record.m_version, "OidSysDesc"},
                                  std::pair{&record.m_location, "OidSysLocation"}}) {
        if (!silence.empty()) {
            *field = silence;
            continue;
        }
        SnmpOutcome value = GetSnmpOutcome(terminalIP, oidName);
        *field = value.text;
        if (value.unanswered) {
            silence = value.text;
        }
    }
    record.m_macAdr = silence.empty() ? GetMacAddress(terminalIP) : silence;
    // A terminal that moved (same name and MAC) keeps its position in the list.
    m_state.Terminals().ReplaceSameTerminalOrAppend(std::move(record));
    return true;
}
