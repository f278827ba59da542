#pragma once

#include <string>
#include <vector>

// Moves the calling thread, and every thread and child process it starts
// afterwards, into a fresh network namespace of its own, for tests that send
// broadcasts: nothing sent there leaves it. The namespace gets its loopback
// interface up and a veth pair, veth0 and veth1, with both ends inside it;
// `setup` lists further `ip` commands (without the leading "ip") to run there.
// The thread returns to its former namespace when the object goes. Needs
// root; Entered() says whether it worked and Why() why not.
class PrivateNetworkNamespace {
public:
    explicit PrivateNetworkNamespace(const std::vector<std::vector<std::string>>& setup);
    ~PrivateNetworkNamespace();
    PrivateNetworkNamespace(const PrivateNetworkNamespace&) = delete;
    PrivateNetworkNamespace& operator=(const PrivateNetworkNamespace&) = delete;

    bool Entered() const { return m_entered; }
    const std::string& Why() const { return m_why; }

private:
    int m_previous = -1;
    bool m_entered = false;
    std::string m_why;
};
