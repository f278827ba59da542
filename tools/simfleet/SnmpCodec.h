#pragma once

#include <netinet/in.h>

#include <optional>
#include <string>
#include <vector>

#include "TerminalMib.h"

namespace simfleet {

// PDU types of version 1 (the SNMP standard's tags).
namespace pdu {
constexpr int kGet = 0xA0;
constexpr int kGetNext = 0xA1;
constexpr int kResponse = 0xA2;
constexpr int kSet = 0xA3;
constexpr int kTrap = 0xA4;
}  // namespace pdu

struct Request {
    long version = 0;
    std::string community;
    int command = 0;
    long requestId = 0;
    std::vector<VarBind> bindings;
};

struct Trap {
    std::string community = "public";
    Oid enterprise;
    in_addr agentAddress{};
    int generic = 0;
    int specific = 0;
    unsigned long timeStamp = 0;  // centiseconds since the agent started
    std::vector<VarBind> bindings;
};

// Sets net-snmp up for encoding and decoding only: no MIB files, no
// configuration or persistent files.
void InitialiseSnmpLibrary(const char* name);
void ShutdownSnmpLibrary(const char* name);

// Decodes an SNMP version 1 message with net-snmp's parser. Other versions and
// anything that does not parse give nothing (a terminal does not answer them).
std::optional<Request> DecodeRequest(const unsigned char* data, std::size_t length);
// Encodes with net-snmp's builder; empty on failure.
std::string EncodeResponse(const Request& request, const Answer& answer);
std::string EncodeTrap(const Trap& trap);

}  // namespace simfleet
