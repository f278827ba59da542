#include "core/app/StartupSettings.h"

#include "core/app/CTarnDoc.h"
#include "core/settings/SettingsGlobals.h"

void LoadProcessWideSettings(CTarnDoc& doc) {
    g_OidSection = "OID";
    g_GetCommunity.Set(doc.GetINIValueStr("Misc", "GetCommunity", 1));
    g_SetCommunity.Set(doc.GetINIValueStr("Misc", "SetCommunity", 1));
}
