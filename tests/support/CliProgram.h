#pragma once

#include <string>
#include <vector>

#include "CliTestSupport.h"

// One run of the built fleetwarden-cli as a process of its own, with its exit
// code, standard output and standard error: for what separate runs of the
// program do, which calls within this process cannot show.
CliRun RunCliProgram(const std::vector<std::string>& args);
