#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "core/common/ManualResetEvent.h"
#include "core/traps/TrapService.h"

class CTarnDoc;

// What one terminal reported of the transfer it was asked for.
struct TransferOutcomeReport {
    enum class Kind { Ok, Failed, NoTrap };
    Kind kind = Kind::NoTrap;
    // For a failure: the reason's text, as the Trap Monitor writes it.
    std::string reason;
};

// Listens on "Misc"/TrapPort for the outcome traps of transfer requests (done,
// or not completed with its reason), for runs that report each terminal's
// outcome without the console's Trap Monitor: the command line's --wait. It
// must be started before the requests go out, so no fast terminal's trap is
// missed. The first outcome trap of each terminal counts.
class OutcomeTrapWatch {
public:
    explicit OutcomeTrapWatch(CTarnDoc& doc,
                              std::unique_ptr<ITrapService> service = MakeNetTrapService());
    ~OutcomeTrapWatch();
    OutcomeTrapWatch(const OutcomeTrapWatch&) = delete;
    OutcomeTrapWatch& operator=(const OutcomeTrapWatch&) = delete;

    // Binds the trap port and starts listening; false with `error` saying why.
    bool Start(std::string& error);
    // Waits until every one of `terminals` (dotted addresses) has reported, or
    // until `timeout` has passed or `stop` is requested; a terminal without an
    // outcome trap by then reports NoTrap.
    std::map<std::string, TransferOutcomeReport> WaitFor(const std::vector<std::string>& terminals,
                                                         std::chrono::milliseconds timeout,
                                                         std::stop_token stop = {});

private:
    void Listen(std::stop_token stop);

    CTarnDoc& m_doc;
    std::unique_ptr<ITrapService> m_service;
    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::map<std::string, TransferOutcomeReport> m_reports;
    std::jthread m_thread;
};
