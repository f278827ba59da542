#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// A version 1 trap as received, decoded with net-snmp's own parser.
struct ReceivedTrap {
    bool malformed = false;
    std::string agent;  // the trap's agent address field
    long generic = -1;
    long specific = -1;
    std::vector<long> bindings;  // each binding's value if it is an integer, else 0
};

// A UDP trap sink on 127.0.0.1 and a free port.
class TrapReceiver {
public:
    TrapReceiver();
    ~TrapReceiver();
    TrapReceiver(const TrapReceiver&) = delete;
    TrapReceiver& operator=(const TrapReceiver&) = delete;

    unsigned Port() const { return m_port; }
    // The next datagram, or nothing within the time-out.
    std::optional<ReceivedTrap> Next(std::chrono::milliseconds timeout);
    // The first trap (not a malformed datagram) that matches, skipping others.
    std::optional<ReceivedTrap> WaitFor(const std::function<bool(const ReceivedTrap&)>& match,
                                        std::chrono::seconds timeout = std::chrono::seconds(20));

private:
    int m_fd = -1;
    unsigned m_port = 0;
};
