// The trap service on net-snmp: a server transport on "udp:PORT", read by a
// thread of its own that copies every notification into a queue.
#include <net-snmp/library/large_fd_set.h>
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "core/common/TextFormat.h"
#include "core/snmp/NetSnmpValues.h"
#include "core/snmp/SnmpLibraryLock.h"
#include "core/snmp/SnmpManager.h"
#include "core/traps/TrapPdu.h"
#include "core/traps/TrapService.h"

namespace {

// snmpTrapOID.0, snmpTrapEnterprise.0 and the standard traps' prefix (SNMPv2-MIB).
const SnmpOid kSnmpTrapOid = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};
const SnmpOid kSnmpTrapEnterprise = {1, 3, 6, 1, 6, 3, 1, 1, 4, 3, 0};
const SnmpOid kSnmpTraps = {1, 3, 6, 1, 6, 3, 1, 1, 5};

// A listener that falls this far behind is not keeping up with anything; beyond
// it the newest traps are dropped rather than the workstation's memory.
constexpr std::size_t kMaxQueuedTraps = 200000;
// Room for a burst while the listener is busy: the kernel keeps what the
// receiving thread has not read yet.
constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;

SnmpVarBind BindingOf(const netsnmp_variable_list& var) {
    SnmpVarBind bind;
    std::size_t length = std::min<std::size_t>(var.name_length, MAX_OID_LEN);
    if (var.name) {
        bind.name.assign(var.name, var.name + length);
    }
    bind.value = FromNetSnmpVariable(var);
    return bind;
}

bool StartsWith(const SnmpOid& oid, const SnmpOid& prefix) {
    return oid.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), oid.begin());
}

// The packet's source address, from what the UDP transport attached to the PDU.
std::vector<std::uint8_t> SourceAddress(const netsnmp_pdu& pdu) {
    if (!pdu.transport_data || pdu.transport_data_length <= 0) {
        return {};
    }
    // The address pair starts with the remote address; copy it out, since the
    // transport's buffer has no guaranteed alignment for us.
    sockaddr_storage remote{};
    std::memcpy(&remote, pdu.transport_data,
                std::min(sizeof(remote), static_cast<std::size_t>(pdu.transport_data_length)));
    std::size_t available = static_cast<std::size_t>(pdu.transport_data_length);
    if (remote.ss_family == AF_INET && available >= sizeof(sockaddr_in)) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(remote);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&in.sin_addr);
        return {bytes, bytes + 4};
    }
    if (remote.ss_family == AF_INET6 && available >= sizeof(sockaddr_in6)) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(remote);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&in6.sin6_addr);
        if (IN6_IS_ADDR_V4MAPPED(&in6.sin6_addr)) {
            return {bytes + 12, bytes + 16};
        }
        return {bytes, bytes + 16};
    }
    return {};
}

bool FromVersion1(const netsnmp_pdu& pdu, SnmpTrap& trap) {
    // A crafted enterprise length or trap number must never reach a table or a copy.
    if (pdu.enterprise_length > MAX_OID_LEN || (pdu.enterprise_length > 0 && !pdu.enterprise)) {
        return false;
    }
    if (pdu.trap_type < 0 || pdu.trap_type > INT_MAX || pdu.specific_type < INT_MIN ||
        pdu.specific_type > INT_MAX) {
        return false;
    }
    if (pdu.enterprise_length > 0) {
        trap.enterprise.assign(pdu.enterprise, pdu.enterprise + pdu.enterprise_length);
    }
    trap.agentAddress.assign(pdu.agent_addr, pdu.agent_addr + sizeof(pdu.agent_addr));
    trap.generic = static_cast<int>(pdu.trap_type);
    trap.specific = static_cast<int>(pdu.specific_type);
    trap.timeStamp = static_cast<unsigned long>(pdu.time) & 0xFFFFFFFFul;
    for (const auto* var = pdu.variables; var; var = var->next_variable) {
        trap.bindings.push_back(BindingOf(*var));
    }
    return true;
}

// RFC 3584, 3.2: the notification's snmpTrapOID gives the generic and specific
// numbers and the enterprise; sysUpTime.0 gives the time stamp.
bool FromVersion2(const netsnmp_pdu& pdu, SnmpTrap& trap) {
    SnmpVarBindList all;
    for (const auto* var = pdu.variables; var; var = var->next_variable) {
        all.push_back(BindingOf(*var));
    }
    if (all.size() < 2 || all[1].name != kSnmpTrapOid || all[1].value.type != asn::kObjectId ||
        all[1].value.objectId.empty()) {
        return false;
    }
    const SnmpOid& trapOid = all[1].value.objectId;
    if (all[0].value.type == asn::kTimeTicks) {
        trap.timeStamp = static_cast<unsigned long>(all[0].value.integer);
    }
    std::uint32_t last = trapOid.back();
    if (trapOid.size() == kSnmpTraps.size() + 1 && StartsWith(trapOid, kSnmpTraps) && last >= 1 &&
        last <= 6) {
        trap.generic = static_cast<int>(last) - 1;
        trap.specific = 0;
        trap.enterprise = kSnmpTraps;
        for (const auto& bind : all) {
            if (bind.name == kSnmpTrapEnterprise && bind.value.type == asn::kObjectId) {
                trap.enterprise = bind.value.objectId;
            }
        }
    } else {
        if (last > static_cast<std::uint32_t>(INT_MAX)) {
            return false;
        }
        trap.generic = 6;
        trap.specific = static_cast<int>(last);
        std::size_t keep = trapOid.size() - 1;
        if (keep > 0 && trapOid[keep - 1] == 0) {
            --keep;
        }
        trap.enterprise.assign(trapOid.begin(), trapOid.begin() + static_cast<long>(keep));
    }
    // The first two bindings are the header; Counter64 values have no version 1 form.
    for (std::size_t i = 2; i < all.size(); ++i) {
        if (all[i].value.type != asn::kCounter64) {
            trap.bindings.push_back(std::move(all[i]));
        }
    }
    trap.agentAddress = SourceAddress(pdu);
    return true;
}

std::string ErrorText(int error) {
    char buffer[256];
    return strerror_r(error, buffer, sizeof(buffer));
}

// Why the port cannot be bound: tried on a socket of our own, since the library
// does not keep the system's reason.
int BindError(unsigned port) {
    int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (probe < 0) {
        return errno;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    int error =
        ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 ? 0 : errno;
    ::close(probe);
    return error;
}

TrapListenFailure FailureOf(unsigned port, int error) {
    TrapListenFailure failure;
    if (error == ENOMEM || error == ENOBUFS) {
        failure.code = trapcode::kMemory;
    } else if (error == EAGAIN) {
        failure.code = trapcode::kTryAgain;
    } else {
        failure.code = 1000 + static_cast<unsigned long>(error);
    }
    std::string head =
        FormatText("Traps cannot be received on UDP port %u: %s", port,
                   error != 0 ? ErrorText(error).c_str() : "the port cannot be opened");
    if (error == EACCES || error == EPERM) {
        failure.reason = head +
                         " (ports below 1024 need privileges; set TrapPort in section Misc "
                         "to a higher port)";
    } else if (error == EADDRINUSE) {
        failure.reason = head + " (another program, perhaps a trap daemon, holds the port)";
    } else {
        failure.reason = head;
    }
    return failure;
}

class NetTrapService final : public ITrapService {
public:
    NetTrapService() = default;
    NetTrapService(const NetTrapService&) = delete;
    NetTrapService& operator=(const NetTrapService&) = delete;

    ~NetTrapService() override {
        if (m_receiver.joinable()) {
            m_receiver.request_stop();
            std::uint64_t one = 1;
            [[maybe_unused]] ssize_t written = ::write(m_wake, &one, sizeof(one));
            m_receiver.join();
        }
        if (m_session) {
            std::lock_guard lock(SnmpLibraryMutex());
            snmp_sess_close(m_session);
        }
        if (m_wake >= 0) {
            ::close(m_wake);
        }
    }

    bool TrapListen(unsigned port, TrapListenFailure& failure) override {
        if (m_session) {
            failure = {trapcode::kAlreadyListening, {}};
            return false;
        }
        m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (m_wake < 0) {
            failure = FailureOf(port, errno);
            return false;
        }
        std::string where = "udp:" + std::to_string(port);
        netsnmp_transport* transport = nullptr;
        {
            std::lock_guard lock(SnmpLibraryMutex());
            transport = netsnmp_transport_open_server("fleetwarden", where.c_str());
            if (transport) {
                m_socket = transport->sock;
                netsnmp_session settings;
                snmp_sess_init(&settings);
                settings.callback = &NetTrapService::Received;
                settings.callback_magic = this;
                // Adding frees the transport when it fails.
                m_session = snmp_sess_add(&settings, transport, nullptr, nullptr);
            }
        }
        if (!transport) {
            failure = FailureOf(port, BindError(port));
            return false;
        }
        if (!m_session) {
            failure = FailureOf(port, ENOMEM);
            return false;
        }
        int size = kReceiveBufferBytes;
        ::setsockopt(m_socket, SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
        m_receiver = std::jthread([this](std::stop_token stop) { Receive(stop); });
        return true;
    }

    ManualResetEvent& TrapEvent() override { return m_event; }

    std::optional<SnmpTrap> GetTrap() override {
        std::lock_guard lock(m_mutex);
        if (m_queue.empty()) {
            return std::nullopt;
        }
        SnmpTrap trap = std::move(m_queue.front());
        m_queue.pop_front();
        return trap;
    }

private:
    static int Received(int operation, netsnmp_session* /*session*/, int /*requestId*/,
                        netsnmp_pdu* pdu, void* magic) {
        if (operation != NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE || !pdu) {
            return 1;
        }
        auto* self = static_cast<NetTrapService*>(magic);
        // Nothing may unwind through the library's C frames.
        try {
            if (pdu->command == SNMP_MSG_INFORM) {
                self->Acknowledge(*pdu);
            }
            SnmpTrap trap;
            if (TrapFromPdu(*pdu, trap)) {
                self->Queue(std::move(trap));
            }
        } catch (const std::exception&) {
            // Out of memory for this one trap: it is dropped.
        }
        return 1;
    }

    // An inform's sender repeats it until answered.
    void Acknowledge(const netsnmp_pdu& pdu) {
        netsnmp_pdu* reply = snmp_clone_pdu(const_cast<netsnmp_pdu*>(&pdu));
        if (!reply) {
            return;
        }
        reply->command = SNMP_MSG_RESPONSE;
        reply->errstat = 0;
        reply->errindex = 0;
        if (snmp_sess_send(m_session, reply) == 0) {
            snmp_free_pdu(reply);
        }
    }

    void Queue(SnmpTrap trap) {
        {
            std::lock_guard lock(m_mutex);
            if (m_queue.size() >= kMaxQueuedTraps) {
                return;
            }
            m_queue.push_back(std::move(trap));
        }
        m_event.Set();
    }

    void Receive(const std::stop_token& stop) {
        netsnmp_large_fd_set readable;
        netsnmp_large_fd_set_init(&readable, m_socket + 1);
        while (!stop.stop_requested()) {
            pollfd watched[2] = {{m_socket, POLLIN, 0}, {m_wake, POLLIN, 0}};
            int ready = ::poll(watched, 2, -1);
            if (ready < 0) {
                if (errno == EINTR) {
                    continue;
                }
                break;
            }
            if (watched[1].revents != 0 || (watched[0].revents & POLLNVAL) != 0) {
                break;
            }
            if (watched[0].revents != 0) {
                NETSNMP_LARGE_FD_ZERO(&readable);
                NETSNMP_LARGE_FD_SET(m_socket, &readable);
                // Malformed packets are dropped inside; the session carries on.
                snmp_sess_read2(m_session, &readable);
            }
        }
        netsnmp_large_fd_set_cleanup(&readable);
    }

    std::mutex m_mutex;
    std::deque<SnmpTrap> m_queue;
    ManualResetEvent m_event;
    void* m_session = nullptr;
    int m_socket = -1;
    int m_wake = -1;
    std::jthread m_receiver;
};

}  // namespace

bool TrapFromPdu(const snmp_pdu& pdu, SnmpTrap& trap) {
    trap = SnmpTrap{};
    if (pdu.command == SNMP_MSG_TRAP) {
        return FromVersion1(pdu, trap);
    }
    if (pdu.command == SNMP_MSG_TRAP2 || pdu.command == SNMP_MSG_INFORM) {
        return FromVersion2(pdu, trap);
    }
    return false;
}

std::unique_ptr<ITrapService> MakeNetTrapService() {
    // The library starts on the thread that makes the service, before any
    // worker uses it.
    InitialiseSnmpLibrary();
    return std::make_unique<NetTrapService>();
}
