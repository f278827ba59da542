#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "core/snmp/SnmpManager.h"

// A scripted SNMP layer for the failures a real agent cannot produce (memory,
// select and close failures) and for counting requests. By default it answers
// from `values` (keyed by dotted OID text; a missing OID answers status 2) and
// stores SET values there.
class FakeSnmpManager final : public ISnmpManager {
public:
    struct Request {
        std::string agent;
        std::string community;
        SnmpPduType type;
        SnmpVarBindList bindings;
        std::stop_token stop;  // of the worker that asks
    };

    bool StrToOid(const std::string& text, SnmpOid& oid) override;
    bool AllocateBindings(SnmpVarBindList& bindings, std::size_t count) override;
    std::unique_ptr<ISnmpSession> Open(const SnmpOpenParams& params,
                                       unsigned long& failureCode) override;
    bool Close(std::unique_ptr<ISnmpSession> session) override;

    // Behaviour.
    bool allocateOk = true;
    bool openOk = true;
    unsigned long openFailureCode = 0;
    bool closeOk = true;
    // Overrides the default answer when set.
    std::function<SnmpRequestResult(const Request&, SnmpVarBindList&)> answer;
    // Runs before each request is answered (to hold it up, for instance).
    std::function<void(const Request&)> beforeAnswer;
    std::map<std::string, SnmpValue> values;
    // Per agent address: its own objects, and agents that never answer.
    std::map<std::string, std::map<std::string, SnmpValue>> agents;
    std::set<std::string> silentAgents;
    // How long every request takes before it is answered (less when the
    // request's worker is stopped: it then times out at once).
    std::chrono::milliseconds delay{0};

    // Changes one object of an agent while requests may be running (a
    // terminal that renames itself, for instance).
    void SetAgentValue(const std::string& agent, const std::string& oid, SnmpValue value);

    // What was asked.
    std::vector<SnmpOpenParams> Opens() const;
    std::vector<Request> Requests() const;
    int Closes() const;
    // How many GETs asked `agent` for `oid`.
    int GetCount(const std::string& agent, const std::string& oid) const;
    // The most requests that were ever being answered at the same time.
    int MostInFlight() const { return m_mostInFlight; }

    static SnmpValue Text(const std::string& text);
    static SnmpValue Integer(long long value);
    static SnmpValue Oid(const std::string& dotted);

private:
    friend class FakeSession;
    SnmpRequestResult Handle(const SnmpOpenParams& params, SnmpPduType type,
                             SnmpVarBindList& bindings);

    mutable std::mutex m_mutex;
    std::vector<SnmpOpenParams> m_opens;
    std::vector<Request> m_requests;
    int m_closes = 0;
    std::atomic<int> m_inFlight{0};
    std::atomic<int> m_mostInFlight{0};
};
