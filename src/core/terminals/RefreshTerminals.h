#pragma once

#include <optional>
#include <stop_token>

class CTarnDoc;

// Re-reads every terminal of the database, in order, by SNMP: a terminal whose
// system name cannot be read, or differs from the stored one, is removed; the
// others get their fields read afresh (an older terminal's build number,
// modification date and platform through its own OID section). Runs on any
// thread; holds no lock across a request. A stop request ends the walk before
// the next terminal.
//
// With "Misc"/RefreshParallel (or `parallel`) above 1, the reads of that many
// terminals run ahead on threads of their own, while the removals, the updates
// and any message boxes still come here, terminal by terminal in database
// order: the outcome is the one-by-one refresh's, only sooner.
void RefreshAndValidateTerminals(CTarnDoc& doc, std::stop_token stop = {},
                                 std::optional<long> parallel = std::nullopt);

// "Misc"/RefreshParallel: optional, read without a report; 1 when missing or
// not a number, and never more than kMaxRefreshParallel.
inline constexpr long kMaxRefreshParallel = 256;
long RefreshParallel(const CTarnDoc& doc);

// The same for one terminal; false when it was removed.
struct TerminalEntry;
bool RefreshTerminal(CTarnDoc& doc, const TerminalEntry& entry);
