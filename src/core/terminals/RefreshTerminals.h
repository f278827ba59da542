#pragma once

#include <stop_token>

class CTarnDoc;

// Re-reads every terminal of the database, in order, by SNMP: a terminal whose
// system name cannot be read, or differs from the stored one, is removed; the
// others get their fields read afresh (an older terminal's build number,
// modification date and platform through its own OID section). Runs on any
// thread; holds no lock across a request. A stop request ends the walk before
// the next terminal.
void RefreshAndValidateTerminals(CTarnDoc& doc, std::stop_token stop = {});

// The same for one terminal; false when it was removed.
struct TerminalEntry;
bool RefreshTerminal(CTarnDoc& doc, const TerminalEntry& entry);
