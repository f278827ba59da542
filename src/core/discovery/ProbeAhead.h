#pragma once

#include "core/app/CTarnDoc.h"
#include "core/common/RunAhead.h"

// The probes of a range scan, run ahead of it and taken in address order.
using ProbeAhead = RunAhead<SnmpOutcome>;
