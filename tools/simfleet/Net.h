#pragma once

#include <netinet/in.h>

#include <optional>
#include <string>

namespace simfleet {

// A UDP socket bound to address:port (port 0: any); -1 with the reason in `error`.
int BindUdp(in_addr address, unsigned port, std::string& error);
// True when the address belongs to this machine (or to the network namespace
// the fleet runs in). The fleet sends nothing anywhere else: it simulates
// terminals for a console on the same machine.
bool IsLocalAddress(in_addr address);
// A dotted address, or a host name resolved to its first IPv4 address.
std::optional<in_addr> ResolveIpv4(const std::string& host);
bool SendDatagram(int fd, in_addr to, unsigned port, const std::string& data);
std::string Endpoint(in_addr address, unsigned port);

}  // namespace simfleet
