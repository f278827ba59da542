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
