#include "NetworkNamespace.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "NetworkTestSupport.h"

PrivateNetworkNamespace::PrivateNetworkNamespace(
    const std::vector<std::vector<std::string>>& setup) {
    std::string ip = FindProgram("ip");
    if (ip.empty()) {
        m_why = "the ip program (iproute2) is missing";
        return;
    }
    m_previous = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    if (m_previous < 0 || ::unshare(CLONE_NEWNET) != 0) {
        m_why = std::string("cannot make a network namespace: ") + std::strerror(errno);
        return;
    }
    m_entered = true;
    std::vector<std::vector<std::string>> commands = {
        {"link", "set", "lo", "up"},
        {"link", "add", "veth0", "type", "veth", "peer", "name", "veth1"},
        {"link", "set", "veth0", "up"},
        {"link", "set", "veth1", "up"}};
    commands.insert(commands.end(), setup.begin(), setup.end());
    for (auto command : commands) {
        command.insert(command.begin(), ip);
        CommandResult result = RunCommand(command);
        if (result.exitCode != 0) {
            m_entered = false;
            m_why = "ip " + command[1] + " ... failed: " + result.output;
            return;
        }
    }
}

PrivateNetworkNamespace::~PrivateNetworkNamespace() {
    if (m_previous >= 0) {
        ::setns(m_previous, CLONE_NEWNET);
        ::close(m_previous);
    }
}
