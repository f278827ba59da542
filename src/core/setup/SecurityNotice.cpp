#include "core/setup/SecurityNotice.h"

#include "core/app/CTarnDoc.h"

bool SecurityNoticeWanted(CTarnDoc& doc) {
    return doc.GetINIValueStr("Misc", "DontShowSecurityInfo", IfMissing::Report) == "FALSE";
}

void SaveSecurityNoticeChoice(CTarnDoc& doc, bool dontShowAgain) {
    doc.WriteINIValueStr("Misc", "DontShowSecurityInfo", dontShowAgain ? "TRUE" : "FALSE");
}
