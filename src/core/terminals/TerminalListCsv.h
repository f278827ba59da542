#pragma once

#include <string>
#include <vector>

#include "core/terminals/TerminalDatabase.h"

// A terminal as one row of the inventory: its name, then the eleven values of
// the main window's data list in their order there.
std::vector<std::string> TerminalListColumns(const TerminalRecord& record);

// The inventory as CSV, as the command line's `list --csv` prints it and the
// console exports it: a header row, then one row per terminal in list order,
// each ended by CR LF. Values stay exact; one holding a comma, a quote or a
// control character is quoted (line breaks then stay inside the quotes).
std::string TerminalListCsv(const std::vector<TerminalEntry>& entries);
