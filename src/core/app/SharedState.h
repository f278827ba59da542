#pragma once

#include <string>

#include "core/common/GuardedText.h"
#include "core/common/OnceReports.h"
#include "core/discovery/SubnetList.h"
#include "core/settings/OidSection.h"
#include "core/settings/ProfileStore.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/traps/UploadOutcome.h"

// The state that the console's windows and workers share for the whole run.
// The console's application and the command line each create one and hand it
// by reference (through the document, CTarnDoc::State()) to views, dialogs and
// workers; a test builds its own. Each part guards itself.
class SharedState {
public:
    // `settingsPath` is the settings file of the run (GetINIPath).
    explicit SharedState(std::string settingsPath) : m_settingsPath(std::move(settingsPath)) {}
    SharedState(const SharedState&) = delete;
    SharedState& operator=(const SharedState&) = delete;

    const std::string& SettingsPath() const { return m_settingsPath; }
    // The settings file, the template and params.ini, read through one cache.
    ProfileStore& Profiles() { return m_profiles; }
    // The terminal database (g_Terminals).
    TerminalDatabase& Terminals() { return m_terminals; }
    // The read and write communities of every SNMP request (g_GetCommunity,
    // g_SetCommunity): loaded when the view is built, replaced by Setup's OK.
    GuardedText& GetCommunity() { return m_getCommunity; }
    GuardedText& SetCommunity() { return m_setCommunity; }
    // The subnets discovery scans (g_SubnetTable).
    SubnetTable& Subnets() { return m_subnets; }
    // The upload target with its outcome events.
    UploadOutcome& Upload() { return m_upload; }
    // The section OID names are looked up in, for the calling thread
    // (g_OidSection); switch it with OidSectionSwitch.
    OidSectionPerThread& OidSection() { return m_oidSection; }
    // Problems reported once rather than at every call (an unusable settings
    // file, a bad port), for every document of the run.
    OnceReports& Reports() { return m_reports; }

private:
    const std::string m_settingsPath;
    ProfileStore m_profiles;
    TerminalDatabase m_terminals;
    GuardedText m_getCommunity;
    GuardedText m_setCommunity;
    SubnetTable m_subnets;
    UploadOutcome m_upload;
    OidSectionPerThread m_oidSection;
    OnceReports m_reports;
};
