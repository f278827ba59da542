#pragma once

#include "core/common/GuardedText.h"
#include "core/discovery/SubnetList.h"
#include "core/settings/SettingsGlobals.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/traps/UploadOutcome.h"

// The state that the console's windows and workers share for the whole run:
// the terminal database, the read and write communities, the subnet table and
// the upload target with its outcome events. Each part guards itself. The
// document hands it to every operation (CTarnDoc::State()).
class SharedState {
public:
    TerminalDatabase& Terminals() { return g_Terminals; }
    GuardedText& GetCommunity() { return g_GetCommunity; }
    GuardedText& SetCommunity() { return g_SetCommunity; }
    SubnetTable& Subnets() { return g_SubnetTable; }
    UploadOutcome& Upload() { return m_upload; }

private:
    UploadOutcome m_upload;
};
