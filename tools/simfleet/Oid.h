#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace simfleet {

// An object identifier as its sub-identifiers. Ordering is the lexicographic
// order SNMP walks in.
using Oid = std::vector<std::uint32_t>;

// ".1.3.6.1" or "1.3.6.1"; nothing else (no names, no empty arcs).
std::optional<Oid> ParseOid(const std::string& text);
// Dotted with a leading dot, the form the settings file uses.
std::string FormatOid(const Oid& oid);
Oid Concat(const Oid& head, const Oid& tail);

}  // namespace simfleet
