#include "core/terminfo/TerminalInfoEditing.h"

#include <utility>
#include <vector>

#include "core/app/CTarnDoc.h"
#include "core/common/HeldMessages.h"
#include "core/common/ProgressNotice.h"
#include "core/common/RunAhead.h"
#include "core/common/Sentinel.h"
#include "core/common/StringTable.h"
#include "core/snmp/StopBoundSnmpManager.h"
#include "core/transfer/TransferFanOut.h"

namespace {

enum class Search { Clear, Duplicate, Stopped };

// Whether a terminal other than the one with `ownMac` goes by `name`, its
// stored name compared without the domain it reports now.
Search SearchDuplicateName(CTarnDoc& doc, const std::string& name, const std::string& ownMac,
                           const std::stop_token& stop) {
    const std::vector<TerminalEntry> entries = doc.State().Terminals().Entries();
    auto isDuplicate = [&](const TerminalRecord& r, const std::string& domain) {
        return StripDomain(r.m_name, domain) == name && r.m_macAdr != ownMac;
    };
    long width = TransferParallel(doc);
    if (width <= 1 || entries.size() <= 1) {
        for (const auto& entry : entries) {
            std::string domain = doc.GetSnmpValue(entry.record.m_ip, "EntOidDomainName");
            if (stop.stop_requested()) {
                return Search::Stopped;
            }
            if (isDuplicate(entry.record, domain)) {
                return Search::Duplicate;
            }
        }
        return Search::Clear;
    }
    struct Read {
        std::string domain;
        HeldMessages::Held messages;
    };
    RunAhead<Read> ahead(static_cast<std::size_t>(width), entries.size(), [&](std::uint64_t i) {
        Read read;
        if (!stop.stop_requested()) {
            HeldMessages held;
            StopBoundSnmpManager snmp(doc.Snmp(), stop);
            CTarnDoc readDoc(held, snmp, doc.State());
            read.domain = readDoc.GetSnmpValue(entries[i].record.m_ip, "EntOidDomainName");
            read.messages = held.Take();
        }
        return read;
    });
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Read read = ahead.Take(i);
        if (stop.stop_requested()) {
            return Search::Stopped;
        }
        HeldMessages::ShowAll(doc.Messages(), read.messages);
        if (isDuplicate(entries[i].record, read.domain)) {
            return Search::Duplicate;
        }
    }
    return Search::Clear;
}

}  // namespace

std::string StripDomain(const std::string& name, const std::string& domain) {
    if (domain.empty()) {
        return name;
    }
    std::size_t at = name.find(domain);
    if (at == std::string::npos || at == 0) {
        return name;
    }
    return name.substr(0, at - 1);
}

TerminalInfoReading GetTargetInfo(CTarnDoc& doc, const std::string& ip) {
    TerminalInfoReading reading;
    auto read = [&](const char* oidName) {
        SnmpOutcome outcome = doc.GetSnmpOutcome(ip, oidName);
        reading.allRead = reading.allRead && outcome.ok;
        return outcome.text;
    };
    std::string domain = read("EntOidDomainName");
    TerminalInfoTexts& t = reading.texts;
    t.name = StripDomain(read("OidSysName"), domain);
    t.location = read("OidSysLocation");
    t.contact = read("OidSysContact");
    t.customField1 = read("EntOidCustomField1");
    t.customField2 = read("EntOidCustomField2");
    t.customField3 = read("EntOidCustomField3");
    return reading;
}

std::optional<TerminalEntry> ResolveListRow(CTarnDoc& doc, const MacByItemTable& macByItem,
                                            int index, const std::string& name) {
    std::optional<std::string> mac = macByItem.At(index);
    if (!mac) {
        return std::nullopt;
    }
    return doc.State().Terminals().FindByRow(*mac, name);
}

SetTargetResult SetTargetInfo(CTarnDoc& doc, const TerminalEntry& target,
                              const TerminalInfoTexts& texts, BlankFields blanks,
                              std::stop_token stop, IProgressNotice& notice) {
    using Outcome = SetTargetResult::Outcome;
    SetTargetResult result;
    const std::string& pleaseWait = LoadResString(ids::kPleaseWait);
    if (!texts.name.empty()) {
        notice.SetMessages(kSearchingForDuplicateName, pleaseWait);
        Search search = SearchDuplicateName(doc, texts.name, target.record.m_macAdr, stop);
        if (search != Search::Clear) {
            notice.Close();
            if (search == Search::Duplicate) {
                result.outcome = Outcome::DuplicateName;
                result.message = kDuplicateNameFound;
            }
            return result;
        }
    }
    notice.Close();
    notice.SetMessages(kSendingInformation, pleaseWait);

    const std::string& ip = target.record.m_ip;
    TerminalRecord record = target.record;
    TerminalDatabase& terminals = doc.State().Terminals();
    // A value written is stored at once, so a run that fails half way leaves
    // the record as the terminal now is.
    auto write = [&](const char* oidName, const std::string& value) {
        std::string answer = doc.SetSnmpValue(ip, oidName, value);
        if (answer != kNoneNoneNone) {
            notice.Close();
            result.outcome = stop.stop_requested() ? Outcome::Stopped : Outcome::SetFailed;
            result.message = stop.stop_requested() ? std::string() : answer;
            return false;
        }
        result.written = true;
        return true;
    };

    if (!texts.name.empty()) {
        if (!write("OidSysName", texts.name)) {
            return result;
        }
        // The name as the terminal now reports it, domain included. A failed
        // read keeps the name written: a failure text is no terminal's name,
        // and the next refresh would drop the terminal for it.
        SnmpOutcome now = doc.GetSnmpOutcome(ip, "OidSysName");
        record.m_name = now.ok ? now.text : texts.name;
        terminals.Update(target, record);
    }
    struct Field {
        const char* oidName;
        const std::string& text;
        std::string TerminalRecord::*member;
    };
    const Field fields[] = {
        {"OidSysLocation", texts.location, &TerminalRecord::m_location},
        {"OidSysContact", texts.contact, &TerminalRecord::m_contact},
        {"EntOidCustomField1", texts.customField1, &TerminalRecord::m_customField1},
        {"EntOidCustomField2", texts.customField2, &TerminalRecord::m_customField2},
        {"EntOidCustomField3", texts.customField3, &TerminalRecord::m_customField3},
    };
    for (const Field& field : fields) {
        if (field.text.empty() && blanks == BlankFields::Ignore) {
            continue;
        }
        if (!write(field.oidName, field.text)) {
            return result;
        }
        record.*field.member = field.text;
        terminals.Update(target, record);
    }
    notice.Close();
    result.outcome = Outcome::Complete;
    result.message = kInformationUpdateComplete;
    result.icon = MessageIcon::Information;
    return result;
}
