#pragma once

#include <chrono>
#include <cstddef>
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
    // Only the bindings that decoding reads, up to the one that carries the
    // trap's reason, each with its type and integer value.
    SnmpVarBindList bindings;
    // When the trap reached the workstation (unset for a trap made by hand).
    std::chrono::system_clock::time_point received{};
};

// Traps lost since the last count was taken, by why.
struct TrapLosses {
    // Datagrams on the trap port that were no readable trap.
    std::uint64_t unreadable = 0;
    // Traps dropped because too many, by their bytes, were waiting already.
    std::uint64_t dropped = 0;
    // Traps dropped because their sender, which does not answer, had too many waiting.
    std::uint64_t droppedForSender = 0;

    bool Any() const { return unreadable != 0 || dropped != 0 || droppedForSender != 0; }
    TrapLosses& operator+=(const TrapLosses& more) {
        unreadable += more.unreadable;
        dropped += more.dropped;
        droppedForSender += more.droppedForSender;
        return *this;
    }
};

// The bytes a trap holds while it waits, for the budgets of the queues.
std::size_t TrapFootprint(const SnmpTrap& trap);

// How many bytes of traps may wait between the receiving thread and the
// listener before further traps are dropped.
inline constexpr std::size_t kTrapQueueBudgetBytes = std::size_t{32} << 20;

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
    // What was lost since the last call: unreadable datagrams, traps dropped.
    virtual TrapLosses TakeLosses() { return {}; }
};

// The trap service on net-snmp, holding at most `budgetBytes` of traps.
std::unique_ptr<ITrapService> MakeNetTrapService(std::size_t budgetBytes = kTrapQueueBudgetBytes);
