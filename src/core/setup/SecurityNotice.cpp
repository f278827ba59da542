#include "core/setup/SecurityNotice.h"

#include "core/app/CTarnDoc.h"

bool SecurityNoticeWanted(CTarnDoc& doc) {
    return doc.GetINIValueStr("Misc", "DontShowSecurityInfo", 1) == "FALSE";
}

void SaveSecurityNoticeChoice(CTarnDoc& doc, bool dontShowAgain) {
    doc.WriteINIValueStr("Misc", "DontShowSecurityInfo", dontShowAgain ? "TRUE" : "FALSE");
}
