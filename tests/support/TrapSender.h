#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One variable binding of a trap to send, as snmptrap takes it: the OID, a
// type letter (i INTEGER, s STRING, o OBJECT IDENTIFIER, t TIMETICKS, a
// IPADDRESS, c COUNTER, C COUNTER64, x hex STRING) and the value's text.
struct TrapBindingText {
    std::string oid;
    char type;
    std::string value;
};

// Sends traps to a local trap port through net-snmp's encoder, fast enough for
// thousands of traps; the tests use net-snmp's snmptrap program for the
// single traps whose wire form matters.
class TrapSender {
public:
    explicit TrapSender(unsigned port, const std::string& host = "127.0.0.1");
    ~TrapSender();
    TrapSender(const TrapSender&) = delete;
    TrapSender& operator=(const TrapSender&) = delete;

    bool Ready() const { return m_session != nullptr; }
    bool SendV1(const std::string& agentAddress, int generic, int specific,
                const std::vector<TrapBindingText>& bindings = {},
                const std::string& enterprise = ".1.3.6.1.4.1.32473");
    bool SendV2(const std::string& trapOid, const std::vector<TrapBindingText>& bindings = {});

private:
    void* m_session = nullptr;
    void* m_session2 = nullptr;
};

// A version 1 trap message encoded byte by byte, for what no encoder sends: an
// agent address of any length, or tens of thousands of bindings.
struct RawV1Trap {
    std::vector<std::uint8_t> agentAddress = {127, 0, 0, 1};
    int generic = 6;
    int specific = 1;
    std::vector<long> integers;    // INTEGER bindings, first
    std::size_t tinyBindings = 0;  // then this many 7-byte ".1.3 = NULL" bindings
    std::vector<std::uint8_t> Encode() const;
};

// Sends one UDP datagram of arbitrary bytes to host:port.
bool SendDatagram(const std::vector<std::uint8_t>& bytes, unsigned port,
                  const std::string& host = "127.0.0.1");

// The path of net-snmp's snmptrap program and the arguments that send a
// version 1 trap to port `port` on the loopback address; empty when missing.
std::vector<std::string> SnmptrapV1(unsigned port, const std::string& agentAddress, int generic,
                                    int specific, const std::vector<TrapBindingText>& bindings = {},
                                    const std::string& community = "public");
