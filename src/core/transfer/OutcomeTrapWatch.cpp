#include "core/transfer/OutcomeTrapWatch.h"

#include "core/app/CTarnDoc.h"
#include "core/common/StringTable.h"
#include "core/traps/TrapDecoding.h"

namespace {
constexpr unsigned kDefaultTrapPort = 162;
constexpr std::chrono::milliseconds kTrapWait{100};
// The enterprise-specific outcome traps of a transfer request.
constexpr int kEnterpriseSpecific = 6;
constexpr int kTransferDone = 5;
constexpr int kTransferNotCompleted = 6;
}  // namespace

OutcomeTrapWatch::OutcomeTrapWatch(CTarnDoc& doc, std::unique_ptr<ITrapService> service)
    : m_doc(doc), m_service(std::move(service)) {}

OutcomeTrapWatch::~OutcomeTrapWatch() {
    m_thread.request_stop();
}

bool OutcomeTrapWatch::Start(std::string& error) {
    TrapListenFailure failure;
    std::optional<unsigned> port = m_doc.GetPortSetting("TrapPort", kDefaultTrapPort, error);
    if (!port) {
        return false;
    }
    if (!m_service->TrapListen(*port, failure)) {
        error = "the trap port " + std::to_string(*port) + " cannot be used" +
                (failure.reason.empty() ? std::string() : ": " + failure.reason);
        return false;
    }
    m_thread = std::jthread([this](std::stop_token stop) { Listen(stop); });
    return true;
}

void OutcomeTrapWatch::Listen(std::stop_token stop) {
    ManualResetEvent& arrived = m_service->TrapEvent();
    while (!stop.stop_requested()) {
        if (!arrived.WaitFor(kTrapWait)) {
            continue;
        }
        arrived.Reset();
        while (std::optional<SnmpTrap> trap = m_service->GetTrap()) {
            if (trap->agentAddress.size() != 4 || trap->generic != kEnterpriseSpecific ||
                (trap->specific != kTransferDone && trap->specific != kTransferNotCompleted)) {
                continue;
            }
            TransferOutcomeReport report;
            report.kind = trap->specific == kTransferDone ? TransferOutcomeReport::Kind::Ok
                                                          : TransferOutcomeReport::Kind::Failed;
            if (report.kind == TransferOutcomeReport::Kind::Failed) {
                int index = TrapReasonIndex(trap->generic, trap->specific);
                report.reason =
                    LoadResString(TrapReasonText(trap->bindings, static_cast<std::size_t>(index)));
            }
            {
                std::lock_guard lock(m_mutex);
                m_reports.emplace(FormatAgentAddress(trap->agentAddress.data()), report);
            }
            m_changed.notify_all();
        }
    }
}

std::map<std::string, TransferOutcomeReport> OutcomeTrapWatch::WaitFor(
    const std::vector<std::string>& terminals, std::chrono::milliseconds timeout,
    std::stop_token stop) {
    auto allReported = [&] {
        for (const auto& ip : terminals) {
            if (m_reports.count(ip) == 0) {
                return false;
            }
        }
        return true;
    };
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, stop, timeout, allReported);
    std::map<std::string, TransferOutcomeReport> reports;
    for (const auto& ip : terminals) {
        auto found = m_reports.find(ip);
        reports[ip] = found != m_reports.end() ? found->second : TransferOutcomeReport{};
    }
    return reports;
}
