#pragma once

#include "cli/CliContext.h"

// Each subcommand's entry point, defined in its own file.
int RunGetCommand(CliContext& context);
int RunSetCommand(CliContext& context);
int RunRegisterCommand(CliContext& context);
int RunListCommand(CliContext& context);
int RunTrapsCommand(CliContext& context);
int RunDiscoverCommand(CliContext& context);
int RunExclusionsCommand(CliContext& context);
int RunSubmitCommand(CliContext& context);
int RunSetupCommand(CliContext& context);
int RunStageCommand(CliContext& context);
int RunUploadCommand(CliContext& context);
int RunGetInfoCommand(CliContext& context);
int RunSetInfoCommand(CliContext& context);
int RunFirmwareCommand(CliContext& context);
int RunDownloadConfigCommand(CliContext& context);

// Prints the terminal database, one terminal a line with its name and data
// values separated by tabs, or as CSV with a header row.
void PrintTerminalList(CliContext& context, bool csv);
