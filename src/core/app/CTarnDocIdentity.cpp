// Which product a terminal is, its enterprise prefix, its MAC address, and its
// registration in the terminal database.
#include <algorithm>

#include "core/app/CTarnDoc.h"
#include "core/common/TextFormat.h"
#include "core/settings/SettingsGlobals.h"
#include "core/terminals/TerminalDatabase.h"

namespace {
constexpr long kEthernetInterfaceType = 6;
// A terminal reporting an absurd interface count must not keep a worker asking
// for days; real terminals have a handful of interfaces.
constexpr long kMaxInterfacesSearched = 1024;
}  // namespace

std::string CTarnDoc::ResolveEnterprisePrefix(const std::string& sysObjectID) const {
    std::string key = GetINIValueStr("SysObjID", sysObjectID, 0);
    if (key == kNoneNoneNone) {
        return sysObjectID;
    }
    return GetINIValueStr("SysObjID", key, 1);
}

std::string CTarnDoc::GetEnterprisePrefix(const std::string& terminalIP) const {
    auto entry = g_Terminals.FindByIP(terminalIP);
    return entry ? entry->record.m_strEntPrefix : std::string("SysObjIdError");
}

std::string CTarnDoc::GetProductSection(const std::string& terminalIP) {
    std::string id = GetSnmpValue(terminalIP, "OidSysObjID");
    std::string key = GetINIValueStr("SysObjID", id, 0);
    if (key == kNoneNoneNone) {
        return "OTHER";
    }
    return GetINIValueStr("PSectXlate", key, 1);
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
        if (ToLong(GetSnmpValue(terminalIP, "OidInterfaceType", index)) == kEthernetInterfaceType) {
            return GetSnmpValue(terminalIP, "OidMacAdr", index);
        }
    }
    return "EtherNetMacAdrTypeNotFoundError";
}

bool CTarnDoc::RegisterTerminal(const std::string& terminalIP) {
    std::string id = GetSnmpValue(terminalIP, "OidSysObjID");
    long wanted = ToLong(GetINIValueStr("Misc", "DisplayProduct", 1));
    if (wanted != 0) {
        long groups = ToLong(GetINIValueStr("SysObjID", "x" + id, 0));
        if (groups == 0 || (wanted & groups) == 0) {
            return false;
        }
    }
    std::string prefix = ResolveEnterprisePrefix(id);

    // Known at this address under the same name: nothing to do. The names are
    // read outside the database's lock.
    for (const auto& entry : g_Terminals.Entries()) {
        if (entry.record.m_strIP == terminalIP &&
            GetSnmpValue(terminalIP, "OidSysName") == entry.record.m_strName) {
            return false;
        }
    }

    TerminalRecord record;
    record.m_strIP = terminalIP;
    record.m_strEntPrefix = prefix;
    record.m_strName = GetSnmpValue(terminalIP, "OidSysName");
    record.m_strVersion = GetSnmpValue(terminalIP, "OidSysDesc");
    record.m_strLocation = GetSnmpValue(terminalIP, "OidSysLocation");
    record.m_strMacAdr = GetMacAddress(terminalIP);
    // A terminal that moved (same name and MAC) keeps its position in the list.
    g_Terminals.ReplaceSameTerminalOrAppend(std::move(record));
    return true;
}
