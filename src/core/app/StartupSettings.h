#pragma once

class CTarnDoc;

// What the view loads when it is built: the OID section, the two communities.
// The console and the command line both start this way.
void LoadProcessWideSettings(CTarnDoc& doc);
