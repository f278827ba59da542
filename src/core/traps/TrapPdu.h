#pragma once

#include "core/traps/TrapService.h"

struct snmp_pdu;

// Turns a received notification into the version 1 trap the listener handles:
// a version 1 trap as it came, a version 2c trap or inform mapped to generic and
// specific numbers as RFC 3584 does, with the packet's source as the agent
// address. False for anything that is not a notification or is malformed.
bool TrapFromPdu(const snmp_pdu& pdu, SnmpTrap& trap);
