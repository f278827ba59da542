#pragma once

#include <memory>
#include <string>

#include "NetworkTestSupport.h"
#include "TestFiles.h"

// net-snmp's own agent, snmpd, on a loopback address and a free high port, with a
// configuration of the test's own: read community "public", write community
// "private", and a test subtree .1.3.6.1.4.1.32473.99 served by a script (see
// SnmpdAgent.cpp for its objects).
class SnmpdAgent {
public:
    explicit SnmpdAgent(const std::string& address = "127.0.0.1");
    ~SnmpdAgent();

    // False when snmpd is not installed or did not come up.
    bool Ready() const { return m_ready; }
    const std::string& Address() const { return m_address; }
    unsigned Port() const { return m_port; }
    std::string Endpoint() const { return m_address + ":" + std::to_string(m_port); }
    // The agent's log, for failure messages.
    std::string Log() const;

private:
    TempDir m_dir;
    std::string m_address;
    unsigned m_port = 0;
    bool m_ready = false;
    std::unique_ptr<ChildProcess> m_process;
};
