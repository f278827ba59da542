#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/snmp/SnmpTypes.h"

// What a trap means: the line of the trap table, and for the failure traps the
// index of the binding that carries the reason (-1 for none).
struct TrapMeaning {
    std::string line;
    int reasonIndex = -1;
};
TrapMeaning TrapTableLine(int generic, int specific);
// The index of the binding that carries the trap's reason, -1 for none.
int TrapReasonIndex(int generic, int specific);

// The message number of the reason carried by the binding at `index` (counted
// from 0): the reason table's entry for an INTEGER value, 133 for a value the
// table lacks, 132 when the binding is not an INTEGER or the trap has no such
// binding.
int TrapReasonText(const SnmpVarBindList& bindings, std::size_t index);

// The sender's address as "%d.%d.%d.%d" (the first four bytes).
std::string FormatAgentAddress(const std::uint8_t* bytes);

// Whether an agent address names a sender that can be asked for its name:
// exactly four bytes, and not 0.0.0.0 (what an empty or missing one becomes).
bool IsUsableAgentAddress(const std::vector<std::uint8_t>& address);
