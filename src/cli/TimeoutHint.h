#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/snmp/SnmpManager.h"

// The command line's SNMP manager: it passes everything on to the real one
// and notes the last request that timed out (not one a stop ended), so that
// the run can say where it asked and with what. A range scan's short probes
// of addresses the command was not given are not noted: most addresses of a
// range are meant to stay silent.
class TimeoutWatch final : public ISnmpManager {
public:
    TimeoutWatch(ISnmpManager& inner, const std::vector<std::string>& arguments)
        : m_inner(inner), m_named(arguments.begin(), arguments.end()) {}

    bool StrToOid(const std::string& text, SnmpOid& oid) override {
        return m_inner.StrToOid(text, oid);
    }
    bool AllocateBindings(SnmpVarBindList& bindings, std::size_t count) override {
        return m_inner.AllocateBindings(bindings, count);
    }
    std::unique_ptr<ISnmpSession> Open(const SnmpOpenParams& params,
                                       unsigned long& failureCode) override;
    bool Close(std::unique_ptr<ISnmpSession> session) override;

    // One line naming the address and port asked, the community's settings
    // key (whether it holds the default "public", never its value) and the
    // settings file; nothing when no request timed out.
    std::optional<std::string> Hint(const std::string& settingsPath) const;

    // Called by the sessions this manager opened.
    void NoteTimeout(const SnmpOpenParams& params);

private:
    ISnmpManager& m_inner;
    const std::set<std::string> m_named;
    mutable std::mutex m_mutex;
    std::optional<std::string> m_unanswered;  // the hint less its settings file
};
