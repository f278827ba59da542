#pragma once

#include <string>

#include "FleetConfig.h"

namespace simfleet {

// A terminal keeps its configuration as a registry export: a header line
// ("REGEDIT4", or "Windows Registry Editor Version 5.00"), then [key path]
// sections of "name"=value lines, lines ending in "\" continued on the next.

// The configuration a terminal starts with when the fleet file gives none:
// network addressing, session server, display and passwords, made from the
// terminal's own data. The older model writes the older header and single-byte
// strings; lines end in CR LF, as exported files do.
std::string DefaultRegistryConfig(const TerminalSetup& setup, bool olderModel);

// Why a terminal would not take `text` as its configuration; empty when it
// would. A UTF-8 or UTF-16LE byte-order mark is understood.
std::string RegistryExportProblem(const std::string& text);

}  // namespace simfleet
