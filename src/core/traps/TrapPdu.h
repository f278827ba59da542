#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/traps/TrapService.h"

struct snmp_pdu;

// Turns a received notification into the version 1 trap the listener handles:
// a version 1 trap as it came, a version 2c trap or inform mapped to generic and
// specific numbers as RFC 3584 does, with the packet's source as the agent
// address. Only the bindings that decoding reads are kept. False for anything
// that is not a notification or is malformed.
bool TrapFromPdu(const snmp_pdu& pdu, SnmpTrap& trap);

// The length of the agent-addr field of the version 1 trap message `data`, read
// from the message itself: the library keeps at most four bytes of it and not
// its length, so an empty or short address would pass for 0.0.0.0 or x.y.0.0.
// Nothing when the message is not a version 1 trap.
std::optional<std::size_t> V1AgentAddressLength(const std::uint8_t* data, std::size_t length);
