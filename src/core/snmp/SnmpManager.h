#pragma once

#include <memory>
#include <stop_token>
#include <string>

#include "core/snmp/SnmpTypes.h"

// The SNMP version 1 manager services the console's GET and SET need. The real
// implementation sits on net-snmp; tests substitute fakes for the failures a
// real agent cannot produce.
class ISnmpSession {
public:
    virtual ~ISnmpSession() = default;
    // Sends one request and waits for the answer; on success `bindings` holds
    // the response's bindings.
    virtual SnmpRequestResult Request(SnmpPduType type, SnmpVarBindList& bindings) = 0;
};

struct SnmpOpenParams {
    std::string agent;  // dotted address (or host name) of the agent
    unsigned port = 161;
    std::string community;
    int timeoutMs = 2000;
    int retries = 3;
    // A stop of the worker that makes the requests: it ends the wait for an
    // answer at once, and the request fails as one that timed out.
    std::stop_token stop{};
    // The settings key `community` was read from ("GetCommunity" or
    // "SetCommunity"), so that a request left unanswered can be explained.
    std::string communityKey{};
};

class ISnmpManager {
public:
    virtual ~ISnmpManager() = default;
    virtual bool StrToOid(const std::string& text, SnmpOid& oid) = 0;
    // Grows the binding list to `count` bindings; false when memory runs out.
    virtual bool AllocateBindings(SnmpVarBindList& bindings, std::size_t count) = 0;
    // Opens a session; null with `failureCode` set when that fails.
    virtual std::unique_ptr<ISnmpSession> Open(const SnmpOpenParams& params,
                                               unsigned long& failureCode) = 0;
    // Closes a session (null when the open failed); false when closing failed.
    virtual bool Close(std::unique_ptr<ISnmpSession> session) = 0;
};

// The process's net-snmp manager. Initialise() must run once on the main thread
// before any worker starts; it returns false when the library cannot be used.
ISnmpManager& NetSnmpManager();
bool InitialiseSnmpLibrary();
void ShutdownSnmpLibrary();
