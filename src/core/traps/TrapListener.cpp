#include "core/traps/TrapListener.h"

#include <ctime>
#include <optional>

#include "core/app/CTarnDoc.h"
#include "core/app/WorkerDocument.h"
#include "core/common/LineEscape.h"
#include "core/common/StringTable.h"
#include "core/common/TextFormat.h"
#include "core/common/ViewNotifications.h"
#include "core/traps/TrapDecoding.h"

namespace {
constexpr auto kTrapWait = std::chrono::milliseconds(100);
constexpr unsigned kDefaultTrapPort = 162;

using Clock = std::chrono::steady_clock;

// The losses of one episode, and when its line is due: once the losses have
// stopped for a second, or five seconds into a long episode; and never sooner
// than five seconds after the last line.
class LossEpisode {
public:
    void Add(const TrapLosses& losses, Clock::time_point now) {
        if (!losses.Any()) {
            return;
        }
        if (!m_pending.Any()) {
            m_start = now;
        }
        m_pending += losses;
        m_lastLoss = now;
    }
    std::optional<TrapLosses> Due(Clock::time_point now) {
        if (!m_pending.Any()) {
            return std::nullopt;
        }
        bool over = now - m_lastLoss >= std::chrono::seconds(1);
        bool longRunning = now - m_start >= kSpacing;
        bool spaced = !m_lastLine || now - *m_lastLine >= kSpacing;
        if (!(over || longRunning) || !spaced) {
            return std::nullopt;
        }
        m_lastLine = now;
        return std::exchange(m_pending, TrapLosses{});
    }

private:
    static constexpr auto kSpacing = std::chrono::seconds(5);
    TrapLosses m_pending;
    Clock::time_point m_start;
    Clock::time_point m_lastLoss;
    std::optional<Clock::time_point> m_lastLine;
};

std::uint32_t SenderKey(const std::vector<std::uint8_t>& address) {
    return (std::uint32_t{address[0]} << 24) | (std::uint32_t{address[1]} << 16) |
           (std::uint32_t{address[2]} << 8) | std::uint32_t{address[3]};
}

}  // namespace

std::string TrapTimeStampLine() {
    return TrapTimeStampLine(std::chrono::system_clock::now());
}

std::string TrapTimeStampLine(std::chrono::system_clock::time_point when) {
    std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    return FormatText(" ***** %02d/%02d/%04d %02d:%02d:%02d *****", local.tm_mon + 1, local.tm_mday,
                      local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
}

std::string TrapListenErrorLine(const std::string& label, unsigned long code) {
    if (label == "SnmpMgrTrapListenError") {
        switch (code) {
            case trapcode::kMemory:
                return "Indicates a memory allocation error";
            case trapcode::kAlreadyListening:
                return "Indicates that this function has already been called";
            case trapcode::kTryAgain:
                return "Indicates an error occurred; the application can attempt to call the "
                       "function again";
            default:
                return "SnmpMgrListen Function Unknown Error";
        }
    }
    if (label == "WaitForSingleObjectError") {
        return FormatText("WaitForSingleObject Function Error = %lu", code);
    }
    return FormatText("ResetEvent Function Error = %lu", code);
}

std::string TrapLossLine(const TrapLosses& losses) {
    std::string line = LoadResString(ids::kTrapsLost);
    const char* separator = " ";
    auto part = [&](std::uint64_t count, int text) {
        if (count != 0) {
            line += separator + std::to_string(count) + " " + LoadResString(text);
            separator = "; ";
        }
    };
    part(losses.unreadable, ids::kTrapsUnreadable);
    part(losses.dropped, ids::kTrapsDroppedTooMany);
    part(losses.droppedForSender, ids::kTrapsDroppedForSender);
    return line;
}

TrapListener::TrapListener(CTarnDoc& doc, ITrapLog& log, IViewNotifications* owner,
                           std::unique_ptr<ITrapService> service)
    : m_doc(doc), m_log(log), m_owner(owner), m_service(std::move(service)) {}

TrapListener::~TrapListener() {
    Stop();
}

void TrapListener::Start() {
    if (m_thread.joinable()) {
        return;
    }
    m_ended.Reset();
    m_exitCode = 0;
    m_thread = std::jthread([this](std::stop_token stop) {
        m_exitCode = TrapListenThread(*this, stop);
        m_ended.Set();
    });
}

void TrapListener::Stop() {
    if (!m_thread.joinable()) {
        return;
    }
    m_thread.request_stop();
    // Wakes the thread at once rather than at its next time-out.
    m_service->TrapEvent().Set();
    m_thread.join();
}

std::optional<unsigned> TrapListener::TrapPort(std::string& problem) const {
    return m_doc.GetPortSetting("TrapPort", kDefaultTrapPort, problem);
}

bool TrapListener::WriteBlock(const std::vector<std::string>& lines) {
    std::lock_guard lock(m_writing);
    if (m_trapLimit != 0 && m_blocksWritten >= m_trapLimit) {
        return false;
    }
    for (const auto& line : lines) {
        // Names and values come from the network: escaped, they can neither
        // break a line nor forge one.
        m_log.AddLine(EscapeForLine(line));
    }
    return true;
}

void TrapListener::CountHandled() {
    std::uint64_t handled = ++m_trapsHandled;
    if (m_trapLimit != 0 && handled >= m_trapLimit) {
        // The listener thread ends at once rather than at its next time-out.
        m_service->TrapEvent().Set();
    }
}

bool TrapListener::LimitReached() const {
    return m_trapLimit != 0 && m_trapsHandled.load() >= m_trapLimit;
}

void TrapListener::HandleTrap(const SnmpTrap& trap) {
    if (!IsUsableAgentAddress(trap.agentAddress)) {
        if (WriteBlock({"IPAddress.length != 4"})) {
            CountHandled();
        }
        return;
    }
    m_doc.State().Upload().Check(FormatAgentAddress(trap.agentAddress.data()), trap.generic,
                                 trap.specific);
    WriteAndRegister(m_doc, trap, {});
}

void TrapListener::Dispatch(SnmpTrap trap, SenderLanes& lanes, TrapLosses& losses) {
    if (!IsUsableAgentAddress(trap.agentAddress)) {
        if (WriteBlock({"IPAddress.length != 4"})) {
            CountHandled();
        }
        return;
    }
    // In queue order, as the trap is taken off the queue: the first trap from
    // the awaited terminal decides the upload, however long its name takes.
    m_doc.State().Upload().Check(FormatAgentAddress(trap.agentAddress.data()), trap.generic,
                                 trap.specific);
    std::uint32_t sender = SenderKey(trap.agentAddress);
    switch (lanes.Add(sender, std::move(trap))) {
        case SenderLanes::Admission::Accepted:
            break;
        case SenderLanes::Admission::OverBudget:
            ++losses.dropped;
            break;
        case SenderLanes::Admission::SenderFull:
            ++losses.droppedForSender;
            break;
    }
}

void TrapListener::WriteAndRegister(CTarnDoc& doc, const SnmpTrap& trap,
                                    const std::stop_token& stop) {
    // The header shows when the trap arrived, not when its turn came.
    auto received = trap.received == std::chrono::system_clock::time_point{}
                        ? std::chrono::system_clock::now()
                        : trap.received;
    std::vector<std::string> lines = {kTrapSeparatorLine, TrapTimeStampLine(received), ""};
    std::vector<std::string> own =
        DecodeTrap(doc, trap.generic, trap.specific, trap.agentAddress, trap.bindings);
    lines.insert(lines.end(), own.begin(), own.end());
    // A stop ended the name request: the trap is not written with a made-up name.
    if (stop.stop_requested() || !WriteBlock(lines)) {
        return;
    }
    if ((trap.generic == 0 || trap.generic == 1) && trap.specific == 0) {
        std::string ip = FormatAgentAddress(trap.agentAddress.data());
        if (doc.RegisterTerminal(ip) && m_owner && !stop.stop_requested()) {
            m_owner->PostTrapNewUnits();
        }
    }
    CountHandled();
}

std::vector<std::string> TrapListener::DecodeTrap(CTarnDoc& doc, int generic, int specific,
                                                  const std::vector<std::uint8_t>& agentAddress,
                                                  const SnmpVarBindList& bindings) {
    if (agentAddress.size() < 4) {
        return {};
    }
    std::string ip = FormatAgentAddress(agentAddress.data());
    std::string name;
    if (generic == 4 && specific == 0) {
        // An authentication failure: a GET would fail as well.
        name = LoadResString(ids::kUnknownIdentity);
    } else {
        name = doc.GetSnmpValue(ip, "OidSysName");
        if (Contains(name, "The request timed-out")) {
            name = "Terminal Not Available - Offline or Rebooting";
        }
    }
    std::vector<std::string> lines = {FormatText("%s : %s", name.c_str(), ip.c_str())};
    TrapMeaning meaning = TrapTableLine(generic, specific);
    lines.push_back(meaning.line);
    if (meaning.reasonIndex >= 0) {
        lines.push_back(
            LoadResString(TrapReasonText(bindings, static_cast<std::size_t>(meaning.reasonIndex))));
    }
    return lines;
}

int TrapListenThread(TrapListener& listener, const std::stop_token& stop) {
    ITrapService& service = *listener.m_service;
    TrapListenFailure failure;
    std::optional<unsigned> port = listener.TrapPort(failure.reason);
    if (!port || !service.TrapListen(*port, failure)) {
        listener.AddLine(TrapListenErrorLine("SnmpMgrTrapListenError", failure.code));
        if (!failure.reason.empty()) {
            listener.AddLine(failure.reason);
        }
        return 1;
    }
    listener.AddLine("Listening For Traps...");

    // Each trap's name request and registration run here, on the pool's
    // threads, each with a document whose requests end when the pool stops.
    SenderLanes lanes(listener.m_laneLimits,
                      [&listener](const SnmpTrap& trap, std::stop_token handlerStop) {
                          WorkerDocument worker(listener.m_doc, handlerStop);
                          listener.WriteAndRegister(worker.Doc(), trap, handlerStop);
                      });
    LossEpisode episode;
    auto stopped = [&] { return stop.stop_requested() || listener.LimitReached(); };
    ManualResetEvent& trapEvent = service.TrapEvent();
    for (;;) {
        TrapLosses losses;
        if (trapEvent.WaitFor(kTrapWait)) {
            trapEvent.Reset();
            // A stop request is seen between traps too, so a steady stream of
            // traps cannot hold up the end of the program.
            while (!stopped()) {
                std::optional<SnmpTrap> trap = service.GetTrap();
                if (!trap) {
                    break;
                }
                listener.Dispatch(std::move(*trap), lanes, losses);
            }
        }
        if (stopped()) {
            return 2;
        }
        losses += service.TakeLosses();
        Clock::time_point now = Clock::now();
        episode.Add(losses, now);
        if (auto due = episode.Due(now)) {
            listener.WriteBlock({kTrapSeparatorLine, TrapTimeStampLine(), "", TrapLossLine(*due)});
        }
    }
}
