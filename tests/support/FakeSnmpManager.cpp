#include "FakeSnmpManager.h"

#include <condition_variable>
#include <thread>

class FakeSession final : public ISnmpSession {
public:
    FakeSession(FakeSnmpManager& owner, SnmpOpenParams params)
        : m_owner(owner), m_params(std::move(params)) {}
    SnmpRequestResult Request(SnmpPduType type, SnmpVarBindList& bindings) override {
        return m_owner.Handle(m_params, type, bindings);
    }

private:
    FakeSnmpManager& m_owner;
    SnmpOpenParams m_params;
};

bool FakeSnmpManager::StrToOid(const std::string& text, SnmpOid& oid) {
    return ParseOidText(text, oid);
}

bool FakeSnmpManager::AllocateBindings(SnmpVarBindList& bindings, std::size_t count) {
    if (!allocateOk) {
        return false;
    }
    bindings.resize(count);
    return true;
}

std::unique_ptr<ISnmpSession> FakeSnmpManager::Open(const SnmpOpenParams& params,
                                                    unsigned long& failureCode) {
    {
        std::lock_guard lock(m_mutex);
        m_opens.push_back(params);
    }
    if (!openOk) {
        failureCode = openFailureCode;
        return nullptr;
    }
    return std::make_unique<FakeSession>(*this, params);
}

bool FakeSnmpManager::Close(std::unique_ptr<ISnmpSession> /*session*/) {
    std::lock_guard lock(m_mutex);
    ++m_closes;
    return closeOk;
}

SnmpRequestResult FakeSnmpManager::Handle(const SnmpOpenParams& params, SnmpPduType type,
                                          SnmpVarBindList& bindings) {
    Request request{params.agent, params.community, type, bindings, params.stop};
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
    }
    if (beforeAnswer) {
        beforeAnswer(request);
    }
    int inFlight = ++m_inFlight;
    int most = m_mostInFlight;
    while (inFlight > most && !m_mostInFlight.compare_exchange_weak(most, inFlight)) {
    }
    struct Leaving {
        std::atomic<int>& count;
        ~Leaving() { --count; }
    } leaving{m_inFlight};
    if (delay.count() > 0) {
        // A stopped worker's request ends at once, as a real session's does.
        std::mutex sleeping;
        std::condition_variable_any wake;
        std::unique_lock lock(sleeping);
        wake.wait_for(lock, params.stop, delay, [] { return false; });
        if (params.stop.stop_requested()) {
            return SnmpRequestResult{.ok = false, .failureCode = snmpcode::kTimeout};
        }
    }
    if (answer) {
        return answer(request, bindings);
    }
    SnmpRequestResult result;
    std::lock_guard lock(m_mutex);
    if (silentAgents.count(params.agent) != 0) {
        result.failureCode = snmpcode::kTimeout;
        return result;
    }
    result.ok = true;
    auto agent = agents.find(params.agent);
    auto& objects = agent != agents.end() ? agent->second : values;
    for (auto& bind : bindings) {
        auto it = objects.find(OidToText(bind.name));
        if (it == objects.end()) {
            result.errorStatus = 2;
            result.errorIndex = 1;
            return result;
        }
        if (type == SnmpPduType::Set) {
            it->second = bind.value;
        } else {
            bind.value = it->second;
        }
    }
    return result;
}

void FakeSnmpManager::SetAgentValue(const std::string& agent, const std::string& oid,
                                    SnmpValue value) {
    std::lock_guard lock(m_mutex);
    agents[agent][oid] = std::move(value);
}

std::vector<SnmpOpenParams> FakeSnmpManager::Opens() const {
    std::lock_guard lock(m_mutex);
    return m_opens;
}

std::vector<FakeSnmpManager::Request> FakeSnmpManager::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

int FakeSnmpManager::GetCount(const std::string& agent, const std::string& oid) const {
    std::lock_guard lock(m_mutex);
    int count = 0;
    for (const auto& request : m_requests) {
        if (request.agent == agent && request.type == SnmpPduType::Get &&
            !request.bindings.empty() && OidToText(request.bindings[0].name) == oid) {
            ++count;
        }
    }
    return count;
}

int FakeSnmpManager::Closes() const {
    std::lock_guard lock(m_mutex);
    return m_closes;
}

SnmpValue FakeSnmpManager::Text(const std::string& text) {
    SnmpValue value;
    value.type = asn::kOctetString;
    value.octets.assign(text.begin(), text.end());
    return value;
}

SnmpValue FakeSnmpManager::Integer(long long number) {
    SnmpValue value;
    value.type = asn::kInteger;
    value.integer = number;
    return value;
}

SnmpValue FakeSnmpManager::Oid(const std::string& dotted) {
    SnmpValue value;
    value.type = asn::kObjectId;
    ParseOidText(dotted, value.objectId);
    return value;
}
