#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

// One variable binding of a trap for net-snmp's snmptrap: the OID, a type
// letter (i INTEGER, s STRING, ...) and the value's text.
struct TrapBindingText {
    std::string oid;
    char type;
    std::string value;
};

// A version 1 trap message encoded byte by byte, fast enough for thousands of
// traps and able to send what no encoder sends: an agent address of any
// length, or tens of thousands of bindings. (Where the wire form itself
// matters, the tests use net-snmp's snmptrap.)
struct RawV1Trap {
    std::vector<std::uint8_t> agentAddress = {127, 0, 0, 1};
    int generic = 6;
    int specific = 1;
    // INTEGER or text bindings .1.3.6.1.4.1.32473.5.1, .2, ..., first
    std::vector<std::variant<long, std::string>> bindings;
    std::size_t tinyBindings = 0;  // then this many 7-byte ".1.3 = NULL" bindings
    std::vector<std::uint8_t> Encode() const;
};

// Sends one UDP datagram of arbitrary bytes to host:port.
bool SendDatagram(const std::vector<std::uint8_t>& bytes, unsigned port,
                  const std::string& host = "127.0.0.1");

// Sends a version 1 trap from the agent address `agent` to the loopback port.
bool SendTrap(unsigned port, const std::string& agent, int generic, int specific,
              std::vector<std::variant<long, std::string>> bindings = {});

// The path of net-snmp's snmptrap program and the arguments that send a
// version 1 trap to port `port` on the loopback address; empty when missing.
std::vector<std::string> SnmptrapV1(unsigned port, const std::string& agentAddress, int generic,
                                    int specific, const std::vector<TrapBindingText>& bindings = {},
                                    const std::string& community = "public");
