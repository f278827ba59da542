#include "core/terminals/RefreshTerminals.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "core/app/CTarnDoc.h"
#include "core/common/HeldMessages.h"
#include "core/common/RunAhead.h"
#include "core/common/Sentinel.h"
#include "core/common/TextFormat.h"
#include "core/snmp/StopBoundSnmpManager.h"
#include "core/terminals/TerminalDatabase.h"

namespace {

// A modification date that shows the terminal did not answer the enterprise
// objects in their current form: a failure, or the older model's "1" (as text or
// as the one character whose code is 1).
bool IsOlderModelModDate(const std::string& modDate) {
    return Contains(modDate, "Error") || modDate == "1" || modDate == std::string(1, '\x01');
}

// What the reads of one terminal came to: its record as read now, or nothing
// when its system name could not be read or was another.
using Reading = std::optional<TerminalRecord>;

// Only reads: the database is left to ApplyReading.
Reading ReadTerminal(CTarnDoc& doc, const TerminalRecord& stored) {
    const std::string& ip = stored.m_ip;
    auto read = [&](const char* oidName) { return doc.GetSnmpValue(ip, oidName); };

    // A failed read also removes the terminal: a record registered while the
    // terminal was silent holds a failure text as its name, which would match.
    SnmpOutcome name = doc.GetSnmpOutcome(ip, "OidSysName");
    if (!name.ok || name.text != stored.m_name) {
        return std::nullopt;
    }

    TerminalRecord r = stored;
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
    return r;
}

bool ApplyReading(CTarnDoc& doc, const TerminalEntry& entry, const Reading& reading) {
    // The name is the record's identity. A terminal that renamed itself while
    // it was read loses its record, as one that renamed before would: storing
    // the new name here could make a second record of a terminal registered
    // under that name meanwhile, which no refresh would ever remove.
    if (!reading || reading->m_name != entry.record.m_name) {
        doc.State().Terminals().Remove(entry);
        return false;
    }
    doc.State().Terminals().Update(entry, *reading);
    return true;
}

struct HeldReading {
    Reading reading;
    HeldMessages::Held messages;
};

// The walk of the one-by-one refresh, with the reads made ahead of it. Reads
// made ahead are applied only to the record they were made for, unchanged; a
// record replaced or changed meanwhile is read again in its turn, and records
// appended during the walk get reads ahead of their own.
void RefreshAhead(CTarnDoc& doc, long width, const std::stop_token& stop) {
    TerminalDatabase& terminals = doc.State().Terminals();
    std::vector<TerminalEntry> batch;
    std::unique_ptr<RunAhead<HeldReading>> ahead;
    std::size_t k = 0;
    for (auto entry = terminals.First(); entry && !stop.stop_requested();
         entry = terminals.Next(entry->position)) {
        if (batch.empty() || entry->position > batch.back().position) {
            ahead.reset();
            batch = terminals.Entries();
            std::erase_if(batch,
                          [&](const TerminalEntry& e) { return e.position < entry->position; });
            k = 0;
            auto read = [&doc, &batch, stop](std::uint64_t i) {
                HeldReading held;
                if (!stop.stop_requested()) {
                    HeldMessages messages;
                    StopBoundSnmpManager snmp(doc.Snmp(), stop);
                    CTarnDoc readDoc(messages, snmp, doc.State());
                    held.reading = ReadTerminal(readDoc, batch[i].record);
                    held.messages = messages.Take();
                }
                return held;
            };
            // Results are small and a stop ends the reads in flight, so every
            // read may go ahead: a silent terminal then holds up one thread
            // only, not the reads behind a window.
            ahead = std::make_unique<RunAhead<HeldReading>>(static_cast<std::size_t>(width),
                                                            batch.size(), read, batch.size());
        }
        while (batch[k].position < entry->position) {
            ++k;
        }
        if (batch[k].position == entry->position && batch[k].serial == entry->serial &&
            batch[k].record == entry->record) {
            HeldReading held = ahead->Take(k);
            HeldMessages::ShowAll(doc.Messages(), held.messages);
            ApplyReading(doc, *entry, held.reading);
        } else {
            RefreshTerminal(doc, *entry);
        }
    }
}

}  // namespace

long RefreshParallel(const CTarnDoc& doc) {
    return std::clamp(doc.GetOptionalININumber("Misc", "RefreshParallel", 1), 1L,
                      kMaxRefreshParallel);
}

bool RefreshTerminal(CTarnDoc& doc, const TerminalEntry& entry) {
    return ApplyReading(doc, entry, ReadTerminal(doc, entry.record));
}

void RefreshAndValidateTerminals(CTarnDoc& doc, std::stop_token stop,
                                 std::optional<long> parallel) {
    doc.State().OidSection().Set(OidSectionPerThread::kDefault);
    long width = std::clamp(parallel ? *parallel : RefreshParallel(doc), 1L, kMaxRefreshParallel);
    if (width > 1 && doc.State().Terminals().Count() > 1) {
        RefreshAhead(doc, width, stop);
        return;
    }
    for (auto entry = doc.State().Terminals().First(); entry && !stop.stop_requested();
         entry = doc.State().Terminals().Next(entry->position)) {
        RefreshTerminal(doc, *entry);
    }
}
