#pragma once

class CTarnDoc;

// The notice before an upload is shown only while "Misc"/DontShowSecurityInfo
// reads exactly "FALSE" (a missing key is reported and then suppresses it).
bool SecurityNoticeWanted(CTarnDoc& doc);

// The notice's OK: "TRUE" when its box "Do not display this information
// again" is ticked, otherwise "FALSE".
void SaveSecurityNoticeChoice(CTarnDoc& doc, bool dontShowAgain);
