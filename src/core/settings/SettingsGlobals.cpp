#include "core/settings/SettingsGlobals.h"

GuardedText g_GetCommunity;
GuardedText g_SetCommunity;
thread_local std::string g_OidSection = "OID";
