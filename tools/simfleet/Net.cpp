#include "Net.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#include "FleetConfig.h"

namespace simfleet {

int BindUdp(in_addr address, unsigned port, std::string& error) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_addr = address;
    sin.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sin), sizeof(sin)) != 0) {
        error = "cannot bind " + Endpoint(address, port) + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

bool IsLocalAddress(in_addr address) {
    static std::mutex mutex;
    static std::map<std::uint32_t, bool> known;
    std::lock_guard lock(mutex);
    auto found = known.find(address.s_addr);
    if (found != known.end()) {
        return found->second;
    }
    // Only an address of this host can be bound.
    std::string ignored;
    int fd = BindUdp(address, 0, ignored);
    bool local = fd >= 0 && address.s_addr != htonl(INADDR_ANY);
    if (fd >= 0) {
        ::close(fd);
    }
    known[address.s_addr] = local;
    return local;
}

std::optional<in_addr> ResolveIpv4(const std::string& host) {
    in_addr address{};
    if (ParseIpv4(host, address)) {
        return address;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* results = nullptr;
    if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &results) != 0 || !results) {
        return std::nullopt;
    }
    address = reinterpret_cast<sockaddr_in*>(results->ai_addr)->sin_addr;
    ::freeaddrinfo(results);
    return address;
}

bool SendDatagram(int fd, in_addr to, unsigned port, const std::string& data) {
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_addr = to;
    sin.sin_port = htons(static_cast<std::uint16_t>(port));
    return ::sendto(fd, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&sin),
                    sizeof(sin)) == static_cast<ssize_t>(data.size());
}

std::string Endpoint(in_addr address, unsigned port) {
    return FormatIpv4(address) + ":" + std::to_string(port);
}

}  // namespace simfleet
