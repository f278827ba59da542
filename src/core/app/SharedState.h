#pragma once

#include "core/common/GuardedText.h"
#include "core/discovery/SubnetList.h"
#include "core/settings/SettingsGlobals.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/traps/UploadOutcome.h"

// The state that the console's windows and workers share for the whole run:
// the terminal database, the read and write communities, the subnet table, the
// upload target with its outcome events, and the OID section. Each part guards itself. The
// document hands it to every operation (CTarnDoc::State()).
class SharedState {
public:
    TerminalDatabase& Terminals() { return g_Terminals; }
    GuardedText& GetCommunity() { return g_GetCommunity; }
    GuardedText& SetCommunity() { return g_SetCommunity; }
    SubnetTable& Subnets() { return g_SubnetTable; }
    UploadOutcome& Upload() { return m_upload; }
    // The section OID names are looked up in, for the calling thread: "OID",
    // or "TRK2200OLD" while an operation of that thread reads or writes an
    // older terminal (switch it with OidSectionSwitch).
    OidSectionPerThread& OidSection() { return m_oidSection; }

private:
    UploadOutcome m_upload;
    OidSectionPerThread m_oidSection;
};
