// The trap service on net-snmp: a server transport on "udp:PORT", read by a
// thread of its own that hands every datagram to the intake.
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "core/common/TextFormat.h"
#include "core/snmp/SnmpLibraryLock.h"
#include "core/snmp/SnmpManager.h"
#include "core/traps/TrapIntake.h"
#include "core/traps/TrapService.h"

namespace {

// Room for a burst while the receiving thread is busy parsing: the kernel keeps
// what it has not read yet.
constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;
// The largest UDP datagram there is.
constexpr std::size_t kLargestDatagram = 65536;

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
    explicit NetTrapService(std::size_t budgetBytes) : m_intake(budgetBytes) {}
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
                // The session only sends the answers to informs; the receiving
                // thread reads the transport itself. Adding frees the transport
                // when it fails.
                netsnmp_session settings;
                snmp_sess_init(&settings);
                m_session = snmp_sess_add(&settings, transport, nullptr, nullptr);
                m_transport = m_session ? transport : nullptr;
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

    ManualResetEvent& TrapEvent() override { return m_intake.Event(); }
    std::optional<SnmpTrap> GetTrap() override { return m_intake.Take(); }
    TrapLosses TakeLosses() override { return m_intake.TakeLosses(); }

private:
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

    void Receive(const std::stop_token& stop) {
        std::vector<std::uint8_t> datagram(kLargestDatagram);
        auto acknowledge = [this](netsnmp_pdu& inform) { Acknowledge(inform); };
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
                void* source = nullptr;
                int sourceLength = 0;
                int length = m_transport->f_recv(m_transport, datagram.data(), datagram.size(),
                                                 &source, &sourceLength);
                if (length < 0) {
                    std::free(source);
                    continue;
                }
                // Nothing may unwind out of this thread; a trap that finds no
                // memory is lost with the rest of the datagram.
                try {
                    m_intake.Receive(datagram.data(), static_cast<std::size_t>(length), source,
                                     sourceLength, acknowledge);
                } catch (const std::exception&) {
                }
            }
        }
    }

    TrapIntake m_intake;
    void* m_session = nullptr;
    netsnmp_transport* m_transport = nullptr;
    int m_socket = -1;
    int m_wake = -1;
    std::jthread m_receiver;
};

}  // namespace

std::unique_ptr<ITrapService> MakeNetTrapService(std::size_t budgetBytes) {
    // The library starts on the thread that makes the service, before any
    // worker uses it.
    InitialiseSnmpLibrary();
    return std::make_unique<NetTrapService>(budgetBytes);
}
