#pragma once

#include <memory>
#include <stop_token>
#include <string>

#include "core/snmp/SnmpManager.h"

// The SNMP manager as one worker uses it: every session it opens carries the
// worker's stop, so stopping the worker ends the request in flight at once
// instead of after its time-out and retries.
class StopBoundSnmpManager final : public ISnmpManager {
public:
    StopBoundSnmpManager(ISnmpManager& inner, std::stop_token stop)
        : m_inner(inner), m_stop(std::move(stop)) {}

    bool StrToOid(const std::string& text, SnmpOid& oid) override {
        return m_inner.StrToOid(text, oid);
    }
    bool AllocateBindings(SnmpVarBindList& bindings, std::size_t count) override {
        return m_inner.AllocateBindings(bindings, count);
    }
    std::unique_ptr<ISnmpSession> Open(const SnmpOpenParams& params,
                                       unsigned long& failureCode) override {
        SnmpOpenParams bound = params;
        bound.stop = m_stop;
        return m_inner.Open(bound, failureCode);
    }
    bool Close(std::unique_ptr<ISnmpSession> session) override {
        return m_inner.Close(std::move(session));
    }

private:
    ISnmpManager& m_inner;
    std::stop_token m_stop;
};
