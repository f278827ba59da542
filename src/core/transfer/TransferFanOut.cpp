#include "core/transfer/TransferFanOut.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "core/app/CTarnDoc.h"
#include "core/common/HeldMessages.h"
#include "core/common/RunAhead.h"
#include "core/snmp/StopBoundSnmpManager.h"

long TransferParallel(const CTarnDoc& doc) {
    return std::clamp(doc.GetOptionalININumber("Misc", "TransferParallel", 1), 1L,
                      kMaxTransferParallel);
}

void RunForEachTerminal(CTarnDoc& doc, std::size_t count, long width, std::stop_token stop,
                        const std::function<void(CTarnDoc& jobDoc, std::size_t index)>& job) {
    if (width <= 1 || count <= 1) {
        for (std::size_t i = 0; i < count && !stop.stop_requested(); ++i) {
            job(doc, i);
        }
        return;
    }
    using Held = HeldMessages::Held;
    // Every job may run ahead: a run's terminals are the user's selection and
    // each keeps only its few boxes, while a bounded window would let one
    // silent terminal (its SETs time out after seconds) hold back all the jobs
    // behind the window instead of only its own thread.
    RunAhead<Held> ahead(
        static_cast<std::size_t>(width), count,
        [&](std::uint64_t index) {
            if (stop.stop_requested()) {
                return Held{};
            }
            HeldMessages messages;
            StopBoundSnmpManager snmp(doc.Snmp(), stop);
            CTarnDoc jobDoc(messages, snmp, doc.State());
            job(jobDoc, static_cast<std::size_t>(index));
            return messages.Take();
        },
        count);
    for (std::size_t i = 0; i < count && !stop.stop_requested(); ++i) {
        HeldMessages::ShowAll(doc.Messages(), ahead.Take(i));
    }
    ahead.Cancel();
}
