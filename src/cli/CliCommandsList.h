#pragma once

#include "CliContext.h"

// Each subcommand's entry point, defined in its own file.
int RunGetCommand(CliContext& context);
int RunSetCommand(CliContext& context);
int RunRegisterCommand(CliContext& context);
int RunListCommand(CliContext& context);
int RunTrapsCommand(CliContext& context);
