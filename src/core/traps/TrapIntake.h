#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "core/common/ManualResetEvent.h"
#include "core/traps/TrapService.h"

struct snmp_pdu;
struct snmp_session;
struct sockaddr_in;

// The receiving end of the trap service, without its socket: every datagram
// that reached the trap port is parsed and becomes a queued trap, or is counted
// as lost. The queue holds at most its budget of bytes, so a flood costs the
// newest traps rather than the workstation's memory; every loss is counted, so
// the listener can say what was lost and why.
class TrapIntake {
public:
    explicit TrapIntake(std::size_t budgetBytes = kTrapQueueBudgetBytes);
    ~TrapIntake();
    TrapIntake(const TrapIntake&) = delete;
    TrapIntake& operator=(const TrapIntake&) = delete;

    // Handles one datagram. `source` is the transport's record of where it came
    // from (the remote address first), allocated with malloc; the intake takes it
    // over. `acknowledge` answers an inform, whose sender repeats it until answered.
    void Receive(const std::uint8_t* data, std::size_t length, void* source, int sourceLength,
                 const std::function<void(snmp_pdu&)>& acknowledge = {});
    // The same for a datagram from an IPv4 address.
    void Receive(const std::uint8_t* data, std::size_t length, const sockaddr_in& from);

    // Takes the oldest queued trap.
    std::optional<SnmpTrap> Take();
    // Signalled when a trap has been queued.
    ManualResetEvent& Event() { return m_event; }
    TrapLosses TakeLosses();
    std::size_t QueuedBytes() const;

private:
    void Queue(SnmpTrap trap);

    const std::size_t m_budget;
    // The library's parse state; used by the receiving thread alone.
    std::unique_ptr<snmp_session> m_parser;
    mutable std::mutex m_mutex;
    std::deque<SnmpTrap> m_queue;
    std::size_t m_bytes = 0;
    TrapLosses m_losses;
    ManualResetEvent m_event;
};
