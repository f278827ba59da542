#include "core/app/StartupSettings.h"

#include "core/app/CTarnDoc.h"

void LoadProcessWideSettings(CTarnDoc& doc) {
    SharedState& state = doc.State();
    state.GetCommunity().Set(doc.GetINIValueStr("Misc", "GetCommunity", IfMissing::Report));
    state.SetCommunity().Set(doc.GetINIValueStr("Misc", "SetCommunity", IfMissing::Report));
}

void ReportMissingDiscoverySettings(CTarnDoc& doc) {
    doc.GetINIValueStr("Misc", "DiscoverIPSubNet", IfMissing::Report);
    doc.GetINIValueStr("Misc", "DiscoverMethod", IfMissing::Report);
}
