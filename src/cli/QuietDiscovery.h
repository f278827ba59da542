#pragma once

class CTarnDoc;

// Runs a discovery of the configured subnets, by the configured method, with
// its log unwanted, and returns the run's exit code once it has ended. The
// commands that work on "all" terminals find them this way.
unsigned RunQuietDiscovery(CTarnDoc& doc);
