#pragma once

#include <string>

// The agent's error status as text, for statuses 0 to 18 (tooBig to
// inconsistentName); the empty text for any other status.
const char* SnmpErrorStatusText(long status);
