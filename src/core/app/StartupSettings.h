#pragma once

class CTarnDoc;

// What the console and the command line load as they start: the two
// communities, into the shared state.
void LoadProcessWideSettings(CTarnDoc& doc);

// Discovery reads its settings when it runs; the console's view reads them once
// as it is built too, so that a missing key is reported at start.
void ReportMissingDiscoverySettings(CTarnDoc& doc);
