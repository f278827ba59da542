#include "core/traps/TrapListener.h"

#include <chrono>
#include <ctime>

#include "core/app/CTarnDoc.h"
#include "core/common/StringTable.h"
#include "core/common/TextFormat.h"
#include "core/common/ViewNotifications.h"
#include "core/traps/TrapDecoding.h"
#include "core/traps/TrapEvents.h"

namespace {
constexpr auto kTrapWait = std::chrono::milliseconds(100);
constexpr unsigned kDefaultTrapPort = 162;
}  // namespace

std::string TrapTimeStampLine() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
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
    stopTrapEvent.Reset();
    m_ended.Reset();
    m_exitCode = 0;
    m_thread = std::jthread([this] {
        m_exitCode = TrapListenThread(*this);
        m_ended.Set();
    });
}

void TrapListener::Stop() {
    if (!m_thread.joinable()) {
        return;
    }
    stopTrapEvent.Set();
    // Wakes the thread at once rather than at its next time-out.
    m_service->TrapEvent().Set();
    m_thread.join();
}

std::optional<unsigned> TrapListener::TrapPort(std::string& problem) const {
    return m_doc.GetPortSetting("TrapPort", kDefaultTrapPort, problem);
}

void TrapListener::HandleTrap(const SnmpTrap& trap) {
    if (trap.agentAddress.size() != 4) {
        AddLine("IPAddress.length != 4");
        return;
    }
    UploadOutcomeCheck(FormatAgentAddress(trap.agentAddress.data()), trap.generic, trap.specific);
    AddLine(kTrapSeparatorLine);
    AddLine(TrapTimeStampLine());
    AddLine("");
    DecodeTrap(trap.generic, trap.specific, trap.agentAddress, trap.bindings);
}

void TrapListener::DecodeTrap(int generic, int specific,
                              const std::vector<std::uint8_t>& agentAddress,
                              const SnmpVarBindList& bindings) {
    if (agentAddress.size() < 4) {
        return;
    }
    std::string ip = FormatAgentAddress(agentAddress.data());
    std::string name;
    if (generic == 4 && specific == 0) {
        // An authentication failure: a GET would fail as well.
        name = LoadResString(ids::kUnknownIdentity);
    } else {
        name = m_doc.GetSnmpValue(ip, "OidSysName");
        if (Contains(name, "The request timed-out")) {
            name = "Terminal Not Available - Offline or Rebooting";
        }
    }
    AddLine(FormatText("%s : %s", name.c_str(), ip.c_str()));
    TrapMeaning meaning = TrapTableLine(generic, specific);
    AddLine(meaning.line);
    if (meaning.reasonIndex >= 0) {
        AddLine(
            LoadResString(TrapReasonText(bindings, static_cast<std::size_t>(meaning.reasonIndex))));
    }
    if ((generic == 0 || generic == 1) && specific == 0 && m_doc.RegisterTerminal(ip) && m_owner) {
        m_owner->PostTrapNewUnits();
    }
}

int TrapListenThread(TrapListener& listener) {
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
    ManualResetEvent& trapEvent = service.TrapEvent();
    for (;;) {
        if (!trapEvent.WaitFor(kTrapWait)) {
            if (stopTrapEvent.IsSet()) {
                return 2;
            }
            continue;
        }
        trapEvent.Reset();
        // A stop request is seen between traps too, so a steady stream of traps
        // cannot hold up the end of the program.
        while (!stopTrapEvent.IsSet()) {
            std::optional<SnmpTrap> trap = service.GetTrap();
            if (!trap) {
                break;
            }
            listener.HandleTrap(*trap);
            std::uint64_t handled = ++listener.m_trapsHandled;
            if (listener.m_trapLimit != 0 && handled >= listener.m_trapLimit) {
                return 2;
            }
        }
        if (stopTrapEvent.IsSet()) {
            return 2;
        }
    }
}
