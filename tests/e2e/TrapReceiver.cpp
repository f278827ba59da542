#include "TrapReceiver.h"

// net-snmp wants its configuration header first.
#include <net-snmp/net-snmp-config.h>

#include <net-snmp/library/snmp_impl.h>
#include <net-snmp/net-snmp-includes.h>

#include <arpa/inet.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

namespace {

void InitialiseParser() {
    static std::once_flag once;
    std::call_once(once, [] {
        ::setenv("MIBS", "", 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
        init_snmp("fleetwarden-e2e");
    });
}

ReceivedTrap Decode(std::vector<u_char> data) {
    ReceivedTrap trap{.malformed = true};
    u_char community[256];
    size_t communityLength = sizeof(community);
    size_t length = data.size();
    long version = -1;
    u_char* body = snmp_comstr_parse(data.data(), &length, community, &communityLength, &version);
    netsnmp_pdu* pdu = body ? snmp_pdu_create(SNMP_MSG_TRAP) : nullptr;
    if (pdu && snmp_pdu_parse(pdu, body, &length) == 0 && pdu->command == SNMP_MSG_TRAP) {
        trap.malformed = false;
        char agent[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, pdu->agent_addr, agent, sizeof(agent));
        trap.agent = agent;
        trap.generic = pdu->trap_type;
        trap.specific = pdu->specific_type;
        for (auto* var = pdu->variables; var; var = var->next_variable) {
            trap.bindings.push_back(var->type == ASN_INTEGER ? *var->val.integer : 0);
        }
    }
    if (pdu) {
        snmp_free_pdu(pdu);
    }
    return trap;
}

}  // namespace

TrapReceiver::TrapReceiver() {
    InitialiseParser();
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int size = 4 << 20;
    ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof(size));
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_fd, reinterpret_cast<sockaddr*>(&sin), sizeof(sin));
    socklen_t length = sizeof(sin);
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&sin), &length);
    m_port = ntohs(sin.sin_port);
}

TrapReceiver::~TrapReceiver() {
    ::close(m_fd);
}

std::optional<ReceivedTrap> TrapReceiver::Next(std::chrono::milliseconds timeout) {
    pollfd fd{m_fd, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(timeout.count())) <= 0) {
        return std::nullopt;
    }
    std::vector<u_char> data(65536);
    ssize_t n = ::recv(m_fd, data.data(), data.size(), 0);
    if (n < 0) {
        return std::nullopt;
    }
    data.resize(static_cast<std::size_t>(n));
    return Decode(std::move(data));
}

std::optional<ReceivedTrap> TrapReceiver::WaitFor(
    const std::function<bool(const ReceivedTrap&)>& match, std::chrono::seconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        auto trap = Next(std::max(left, std::chrono::milliseconds(1)));
        if (trap && !trap->malformed && match(*trap)) {
            return trap;
        }
    }
    return std::nullopt;
}
