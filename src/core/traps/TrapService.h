#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/common/ManualResetEvent.h"
#include "core/snmp/SnmpTypes.h"

// One received trap in version 1 form, as the listener takes it off the queue.
struct SnmpTrap {
    SnmpOid enterprise;
    // The sender's address bytes in network order; 4 for an IPv4 sender.
    std::vector<std::uint8_t> agentAddress;
    int generic = 0;
    int specific = 0;
    unsigned long timeStamp = 0;
    SnmpVarBindList bindings;
};

// Why trap reception could not start.
namespace trapcode {
inline constexpr unsigned long kMemory = 1;  // out of memory
inline constexpr unsigned long kAlreadyListening = 43;
inline constexpr unsigned long kTryAgain = 45;
}  // namespace trapcode

struct TrapListenFailure {
    unsigned long code = 0;
    // The system's own reason, when there is one (a port that cannot be bound).
    std::string reason;
};

// The workstation's trap service: it receives traps on a UDP port and queues
// every one until the listener takes it, so a listener busy with a slow
// terminal loses none.
class ITrapService {
public:
    virtual ~ITrapService() = default;
    // Starts reception on `port`; false, with the failure filled in, when it cannot.
    virtual bool TrapListen(unsigned port, TrapListenFailure& failure) = 0;
    // Signalled when traps have been queued; the listener resets it before draining.
    virtual ManualResetEvent& TrapEvent() = 0;
    // Takes the oldest queued trap; nothing when the queue is empty.
    virtual std::optional<SnmpTrap> GetTrap() = 0;
};

// The trap service on net-snmp.
std::unique_ptr<ITrapService> MakeNetTrapService();
