#include "core/terminals/RefreshTerminals.h"

#include "core/app/CTarnDoc.h"
#include "core/common/Sentinel.h"
#include "core/common/TextFormat.h"
#include "core/terminals/TerminalDatabase.h"

namespace {

// A modification date that shows the terminal did not answer the enterprise
// objects in their current form: a failure, or the older model's "1" (as text or
// as the one character whose code is 1).
bool IsOlderModelModDate(const std::string& modDate) {
    return Contains(modDate, "Error") || modDate == "1" || modDate == std::string(1, '\x01');
}

}  // namespace

bool RefreshTerminal(CTarnDoc& doc, const TerminalEntry& entry) {
    const std::string& ip = entry.record.m_ip;
    auto read = [&](const char* oidName) { return doc.GetSnmpValue(ip, oidName); };

    // A failed read also removes the terminal: a record registered while the
    // terminal was silent holds a failure text as its name, which would match.
    SnmpOutcome name = doc.GetSnmpOutcome(ip, "OidSysName");
    if (!name.ok || name.text != entry.record.m_name) {
        doc.State().Terminals().Remove(entry);
        return false;
    }

    TerminalRecord r = entry.record;
    r.m_modDate = read("EntOidModDate");
    if (IsOlderModelModDate(r.m_modDate)) {
        if (doc.IsModel2200(ip)) {
            r.m_name = read("OidSysName");
            r.m_version = read("OidSysDesc");
            r.m_location = read("OidSysLocation");
            r.m_contact = read("OidSysContact");
            r.m_customField1 = read("EntOidCustomField1");
            r.m_customField2 = read("EntOidCustomField2");
            r.m_customField3 = read("EntOidCustomField3");
            OidSectionSwitch older(doc.State().OidSection(), "TRK2200OLD");
            r.m_modDate = read("EntOidModDate");
            r.m_buildNum = read("EntOidBuildNum");
            r.m_platForm = read("EntOidPlatForm");
        }
    } else {
        r.m_name = read("OidSysName");
        r.m_version = read("OidSysDesc");
        r.m_location = read("OidSysLocation");
        r.m_contact = read("OidSysContact");
        r.m_buildNum = read("EntOidBuildNum");
        r.m_platForm = read("EntOidPlatForm");
        r.m_customField1 = read("EntOidCustomField1");
        r.m_customField2 = read("EntOidCustomField2");
        r.m_customField3 = read("EntOidCustomField3");
    }
    // The name is the record's identity. A terminal that renamed itself while
    // it was read loses its record, as one that renamed before would: storing
    // the new name here could make a second record of a terminal registered
    // under that name meanwhile, which no refresh would ever remove.
    if (r.m_name != entry.record.m_name) {
        doc.State().Terminals().Remove(entry);
        return false;
    }
    doc.State().Terminals().Update(entry, r);
    return true;
}

void RefreshAndValidateTerminals(CTarnDoc& doc, std::stop_token stop) {
    doc.State().OidSection().Set(OidSectionPerThread::kDefault);
    for (auto entry = doc.State().Terminals().First(); entry && !stop.stop_requested();
         entry = doc.State().Terminals().Next(entry->position)) {
        RefreshTerminal(doc, *entry);
    }
}
