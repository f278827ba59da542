#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace simfleet {

// "trap": sends one version 1 trap as told. "trap-burst": sends many, spread
// over several sender addresses, each sender's traps in order.
int RunTrapCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunTrapBurst(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

const char* TrapHelp();

}  // namespace simfleet
