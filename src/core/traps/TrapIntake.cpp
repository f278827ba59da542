#include "core/traps/TrapIntake.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <netinet/in.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "core/snmp/SnmpManager.h"
#include "core/traps/TrapPdu.h"

namespace {

// Releases a parsed PDU as the library does after its own reads, with the
// security model's state of a version 3 message.
void FreeParsedPdu(netsnmp_pdu* pdu) {
    if (pdu->securityStateRef) {
        snmp_secmod_def* model = find_sec_mod(pdu->securityModel);
        if (model && model->pdu_free_state_ref) {
            model->pdu_free_state_ref(pdu->securityStateRef);
        }
        pdu->securityStateRef = nullptr;
    }
    snmp_free_pdu(pdu);
}

}  // namespace

TrapIntake::TrapIntake(std::size_t budgetBytes)
    : m_budget(budgetBytes), m_parser(std::make_unique<snmp_session>()) {
    InitialiseSnmpLibrary();
    snmp_sess_init(m_parser.get());
}

TrapIntake::~TrapIntake() = default;

void TrapIntake::Receive(const std::uint8_t* data, std::size_t length, void* source,
                         int sourceLength, const std::function<void(snmp_pdu&)>& acknowledge) {
    auto* pdu = static_cast<netsnmp_pdu*>(std::calloc(1, sizeof(netsnmp_pdu)));
    if (!pdu) {
        std::free(source);
        std::lock_guard lock(m_mutex);
        ++m_losses.dropped;
        return;
    }
    pdu->transport_data = source;
    pdu->transport_data_length = sourceLength;
    // No session of our own: a version 3 message gets no report back, it is
    // only unreadable here.
    bool parsed = snmp_parse(nullptr, m_parser.get(), pdu, const_cast<std::uint8_t*>(data),
                             length) == SNMP_ERR_NOERROR;
    SnmpTrap trap;
    bool readable = parsed && TrapFromPdu(*pdu, trap);
    if (readable && pdu->command == SNMP_MSG_TRAP) {
        auto agentLength = V1AgentAddressLength(data, length);
        trap.agentAddress.resize(std::min<std::size_t>(agentLength.value_or(0), 4));
    }
    if (parsed && pdu->command == SNMP_MSG_INFORM && acknowledge) {
        acknowledge(*pdu);
    }
    FreeParsedPdu(pdu);
    if (!readable) {
        std::lock_guard lock(m_mutex);
        ++m_losses.unreadable;
        return;
    }
    trap.received = std::chrono::system_clock::now();
    Queue(std::move(trap));
}

void TrapIntake::Receive(const std::uint8_t* data, std::size_t length, const sockaddr_in& from) {
    auto* source =
        static_cast<netsnmp_indexed_addr_pair*>(std::calloc(1, sizeof(netsnmp_indexed_addr_pair)));
    if (source) {
        std::memcpy(&source->remote_addr, &from, sizeof(from));
    }
    Receive(data, length, source, source ? static_cast<int>(sizeof(*source)) : 0);
}

void TrapIntake::Queue(SnmpTrap trap) {
    std::size_t bytes = TrapFootprint(trap);
    {
        std::lock_guard lock(m_mutex);
        if (m_bytes + bytes > m_budget) {
            ++m_losses.dropped;
            return;
        }
        m_bytes += bytes;
        m_queue.push_back(std::move(trap));
    }
    m_event.Set();
}

std::optional<SnmpTrap> TrapIntake::Take() {
    std::lock_guard lock(m_mutex);
    if (m_queue.empty()) {
        return std::nullopt;
    }
    SnmpTrap trap = std::move(m_queue.front());
    m_queue.pop_front();
    m_bytes -= TrapFootprint(trap);
    return trap;
}

TrapLosses TrapIntake::TakeLosses() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_losses, TrapLosses{});
}

std::size_t TrapIntake::QueuedBytes() const {
    std::lock_guard lock(m_mutex);
    return m_bytes;
}
