#include "cli/TimeoutHint.h"

#include "core/common/Sentinel.h"

namespace {

class WatchedSession final : public ISnmpSession {
public:
    WatchedSession(TimeoutWatch& watch, std::unique_ptr<ISnmpSession> inner,
                   const SnmpOpenParams& params)
        : m_watch(watch), m_inner(std::move(inner)), m_params(params) {}

    SnmpRequestResult Request(SnmpPduType type, SnmpVarBindList& bindings) override {
        SnmpRequestResult result = m_inner->Request(type, bindings);
        if (!result.ok && result.failureCode == snmpcode::kTimeout &&
            !m_params.stop.stop_requested()) {
            m_watch.NoteTimeout(m_params);
        }
        return result;
    }
    std::unique_ptr<ISnmpSession> Release() { return std::move(m_inner); }

private:
    TimeoutWatch& m_watch;
    std::unique_ptr<ISnmpSession> m_inner;
    SnmpOpenParams m_params;
};

// What the community is, without saying what it is. A key missing from the
// settings file leaves the read's failure text in its place.
std::string CommunityKind(const std::string& community) {
    if (community == "GetINIValueStrError" || community == kNoneNoneNone) {
        return "missing from the settings file";
    }
    if (community.empty()) {
        return "empty";
    }
    return community == "public" ? "the default \"public\"" : "not the default \"public\"";
}

}  // namespace

std::unique_ptr<ISnmpSession> TimeoutWatch::Open(const SnmpOpenParams& params,
                                                 unsigned long& failureCode) {
    auto session = m_inner.Open(params, failureCode);
    if (!session) {
        return nullptr;
    }
    return std::make_unique<WatchedSession>(*this, std::move(session), params);
}

bool TimeoutWatch::Close(std::unique_ptr<ISnmpSession> session) {
    auto* watched = static_cast<WatchedSession*>(session.get());
    return m_inner.Close(watched ? watched->Release() : nullptr);
}

void TimeoutWatch::NoteTimeout(const SnmpOpenParams& params) {
    if (params.timeoutMs < SnmpOpenParams{}.timeoutMs && m_named.count(params.agent) == 0) {
        return;
    }
    std::string text = "no answer from " + params.agent + " port " + std::to_string(params.port) +
                       "; community: \"Misc\"/" + params.communityKey + " (" +
                       CommunityKind(params.community) + ")";
    std::lock_guard lock(m_mutex);
    m_unanswered = std::move(text);
}

std::optional<std::string> TimeoutWatch::Hint(const std::string& settingsPath) const {
    std::lock_guard lock(m_mutex);
    if (!m_unanswered) {
        return std::nullopt;
    }
    return "fleetwarden-cli: hint: " + *m_unanswered + "; settings file: " + settingsPath;
}
