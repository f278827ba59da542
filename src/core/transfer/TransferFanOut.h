#pragma once

#include <cstddef>
#include <functional>
#include <stop_token>

class CTarnDoc;

// "Misc"/TransferParallel: how many terminals a transfer run serves at once.
// Optional, read without a report; 1 (one terminal after another) when missing
// or not a number, and never more than kMaxTransferParallel.
inline constexpr long kMaxTransferParallel = 256;
long TransferParallel(const CTarnDoc& doc);

// Runs `job` for the items 0..count-1 of a run over terminals. With `width` 1
// each job runs here, on `doc`, one after another. With more, up to `width`
// jobs run ahead on threads of their own, each on a document of its own whose
// message boxes are held back; they are shown here, item by item in order, so
// the user sees exactly what a one-by-one run shows, only sooner. A stop
// request ends the SNMP requests in flight and starts no further job.
void RunForEachTerminal(CTarnDoc& doc, std::size_t count, long width, std::stop_token stop,
                        const std::function<void(CTarnDoc& jobDoc, std::size_t index)>& job);
