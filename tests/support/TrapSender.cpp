#include "TrapSender.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <mutex>

#include "NetworkTestSupport.h"
#include "core/snmp/SnmpLibraryLock.h"
#include "core/snmp/SnmpManager.h"

namespace {

void* OpenSession(const std::string& peer, long version) {
    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.version = version;
    settings.peername = const_cast<char*>(peer.c_str());
    static char community[] = "public";
    settings.community = reinterpret_cast<u_char*>(community);
    settings.community_len = sizeof(community) - 1;
    std::lock_guard lock(SnmpLibraryMutex());
    return snmp_sess_open(&settings);
}

bool AddBindings(netsnmp_pdu* pdu, const std::vector<TrapBindingText>& bindings) {
    for (const auto& b : bindings) {
        oid name[MAX_OID_LEN];
        size_t length = MAX_OID_LEN;
        if (!read_objid(b.oid.c_str(), name, &length) ||
            snmp_add_var(pdu, name, length, b.type, b.value.c_str()) != 0) {
            return false;
        }
    }
    return true;
}

bool Send(void* session, netsnmp_pdu* pdu) {
    if (snmp_sess_send(session, pdu) == 0) {
        snmp_free_pdu(pdu);
        return false;
    }
    return true;
}

}  // namespace

TrapSender::TrapSender(unsigned port, const std::string& host) {
    InitialiseSnmpLibrary();
    std::string peer = "udp:" + host + ":" + std::to_string(port);
    m_session = OpenSession(peer, SNMP_VERSION_1);
    m_session2 = OpenSession(peer, SNMP_VERSION_2c);
}

TrapSender::~TrapSender() {
    std::lock_guard lock(SnmpLibraryMutex());
    if (m_session) {
        snmp_sess_close(m_session);
    }
    if (m_session2) {
        snmp_sess_close(m_session2);
    }
}

bool TrapSender::SendV1(const std::string& agentAddress, int generic, int specific,
                        const std::vector<TrapBindingText>& bindings,
                        const std::string& enterprise) {
    netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_TRAP);
    oid name[MAX_OID_LEN];
    size_t length = MAX_OID_LEN;
    if (!read_objid(enterprise.c_str(), name, &length)) {
        snmp_free_pdu(pdu);
        return false;
    }
    pdu->enterprise = snmp_duplicate_objid(name, length);
    pdu->enterprise_length = length;
    in_addr address{};
    inet_pton(AF_INET, agentAddress.c_str(), &address);
    std::memcpy(pdu->agent_addr, &address, 4);
    pdu->trap_type = generic;
    pdu->specific_type = specific;
    pdu->time = 4711;
    if (!AddBindings(pdu, bindings)) {
        snmp_free_pdu(pdu);
        return false;
    }
    return Send(m_session, pdu);
}

bool TrapSender::SendV2(const std::string& trapOid, const std::vector<TrapBindingText>& bindings) {
    netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_TRAP2);
    std::vector<TrapBindingText> all = {{".1.3.6.1.2.1.1.3.0", 't', "4711"},
                                        {".1.3.6.1.6.3.1.1.4.1.0", 'o', trapOid}};
    all.insert(all.end(), bindings.begin(), bindings.end());
    if (!AddBindings(pdu, all)) {
        snmp_free_pdu(pdu);
        return false;
    }
    return Send(m_session2, pdu);
}

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Element(std::uint8_t tag, const Bytes& contents) {
    std::size_t n = contents.size();
    Bytes out;
    out.reserve(n + 5);
    out.push_back(tag);
    if (n >= 0x80) {
        out.push_back(0x83);
        out.push_back(static_cast<std::uint8_t>(n >> 16));
        out.push_back(static_cast<std::uint8_t>(n >> 8));
    }
    out.push_back(static_cast<std::uint8_t>(n));
    out.insert(out.end(), contents.begin(), contents.end());
    return out;
}

Bytes Integer(std::uint8_t tag, long value) {
    Bytes bytes;
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
    // Two's complement in the fewest bytes.
    while (bytes.size() > 1 && ((bytes[0] == 0x00 && (bytes[1] & 0x80) == 0) ||
                                (bytes[0] == 0xff && (bytes[1] & 0x80) != 0))) {
        bytes.erase(bytes.begin());
    }
    return Element(tag, bytes);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

}  // namespace

std::vector<std::uint8_t> RawV1Trap::Encode() const {
    const Bytes enterprise =
        Element(0x06, {0x2b, 6, 1, 4, 1, 0x81, 0xfd, 0x59});  // .1.3.6.1.4.1.32473
    Bytes bindings;
    for (std::size_t i = 0; i < integers.size(); ++i) {
        Bytes name = {0x2b, 6, 1, 4, 1, 0x81, 0xfd, 0x59, 5, static_cast<std::uint8_t>(i + 1)};
        bindings = Concat(
            {bindings, Element(0x30, Concat({Element(0x06, name), Integer(0x02, integers[i])}))});
    }
    const Bytes tiny = {0x30, 0x05, 0x06, 0x01, 0x2b, 0x05, 0x00};
    for (std::size_t i = 0; i < tinyBindings; ++i) {
        bindings.insert(bindings.end(), tiny.begin(), tiny.end());
    }
    Bytes pdu = Concat({enterprise, Element(0x40, agentAddress), Integer(0x02, generic),
                        Integer(0x02, specific), Integer(0x43, 4711), Element(0x30, bindings)});
    return Element(0x30, Concat({Integer(0x02, 0), Element(0x04, {'p', 'u', 'b', 'l', 'i', 'c'}),
                                 Element(0xa4, pdu)}));
}

bool SendDatagram(const std::vector<std::uint8_t>& bytes, unsigned port, const std::string& host) {
    int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0) {
        return false;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, host.c_str(), &to.sin_addr);
    ssize_t sent =
        ::sendto(s, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
    ::close(s);
    return sent == static_cast<ssize_t>(bytes.size());
}

std::vector<std::string> SnmptrapV1(unsigned port, const std::string& agentAddress, int generic,
                                    int specific, const std::vector<TrapBindingText>& bindings,
                                    const std::string& community) {
    std::string program = FindProgram("snmptrap");
    if (program.empty()) {
        return {};
    }
    std::vector<std::string> argv = {program,
                                     "-v1",
                                     "-c",
                                     community,
                                     "-On",
                                     "127.0.0.1:" + std::to_string(port),
                                     ".1.3.6.1.4.1.32473",
                                     agentAddress,
                                     std::to_string(generic),
                                     std::to_string(specific),
                                     "4711"};
    for (const auto& b : bindings) {
        argv.push_back(b.oid);
        argv.push_back(std::string(1, b.type));
        argv.push_back(b.value);
    }
    return argv;
}
