// Apart from the net-snmp code, so that the queues need no SNMP library.
#include "core/traps/TrapService.h"

std::size_t TrapFootprint(const SnmpTrap& trap) {
    std::size_t bytes = sizeof(SnmpTrap) + trap.enterprise.capacity() * sizeof(std::uint32_t) +
                        trap.agentAddress.capacity() +
                        trap.bindings.capacity() * sizeof(SnmpVarBind);
    for (const auto& bind : trap.bindings) {
        bytes += bind.name.capacity() * sizeof(std::uint32_t) + bind.value.octets.capacity() +
                 bind.value.objectId.capacity() * sizeof(std::uint32_t);
    }
    return bytes;
}
