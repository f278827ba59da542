#pragma once

#include "core/snmp/SnmpTypes.h"

// Conversion between net-snmp's variables and our own value type, shared by
// the request sessions and the trap receiver. Only files that include net-snmp
// themselves use it.
struct variable_list;

// Copies a received variable's value; a value the variable does not carry
// (a null pointer, a length that does not fit its type) reads as empty.
SnmpValue FromNetSnmpVariable(const variable_list& var);
