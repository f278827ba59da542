// A burst of traps from 50 live simulated terminals into the trap listener: every
// trap costs one name GET to its sender. Prints how many traps were written, in
// which order per sender, and how many per second the listener got through.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include "BenchSupport.h"
#include "core/app/CTarnDoc.h"
#include "core/app/StartupSettings.h"
#include "core/common/TextFormat.h"
#include "core/settings/SettingsPath.h"
#include "core/snmp/SnmpManager.h"
#include "core/traps/TrapListener.h"

namespace {

constexpr int kSenders = 50;
constexpr int kTraps = 10000;
const char* const kFirstAddress = "127.0.50.1";

// Counts the lines; remembers every name line, so failed GETs show.
class CountingLog final : public ITrapLog {
public:
    void AddLine(const std::string& text) override {
        std::lock_guard lock(m_mutex);
        ++m_lines;
        if (Contains(text, " : 127.0.50.") && Contains(text, "Error")) {
            ++m_failedNames;
        }
        if (text == "Listening For Traps...") {
            m_listening = true;
        }
    }
    long Lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    long FailedNames() const {
        std::lock_guard lock(m_mutex);
        return m_failedNames;
    }
    bool Listening() const {
        std::lock_guard lock(m_mutex);
        return m_listening;
    }

private:
    mutable std::mutex m_mutex;
    long m_lines = 0;
    long m_failedNames = 0;
    bool m_listening = false;
};

// The workstation's trap service, watched: records in which order the listener
// takes each sender's traps (the burst numbers them per sender in binding 0).
class WatchedTrapService final : public ITrapService {
public:
    WatchedTrapService() : m_inner(MakeNetTrapService()) {}
    bool TrapListen(unsigned port, TrapListenFailure& failure) override {
        return m_inner->TrapListen(port, failure);
    }
    ManualResetEvent& TrapEvent() override { return m_inner->TrapEvent(); }
    std::optional<SnmpTrap> GetTrap() override {
        auto trap = m_inner->GetTrap();
        if (trap && trap->agentAddress.size() == 4 && !trap->bindings.empty()) {
            std::lock_guard lock(m_mutex);
            long& last = m_lastBySender[trap->agentAddress[3]];
            if (trap->bindings[0].value.integer != last + 1) {
                ++m_outOfOrder;
            }
            last = trap->bindings[0].value.integer;
        }
        return trap;
    }
    long OutOfOrder() const {
        std::lock_guard lock(m_mutex);
        return m_outOfOrder;
    }
    std::size_t Senders() const {
        std::lock_guard lock(m_mutex);
        return m_lastBySender.size();
    }

private:
    std::unique_ptr<ITrapService> m_inner;
    mutable std::mutex m_mutex;
    std::map<int, long> m_lastBySender;
    long m_outOfOrder = 0;
};

int RunProgram(const std::vector<std::string>& arguments) {
    pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> argv;
        std::vector<std::string> args = arguments;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main() {
    InitialiseSnmpLibrary();
    std::string dir = MakeTempDir();
    unsigned snmpPort = FreeUdpPortOn(kFirstAddress);
    unsigned trapPort = FreeUdpPortOn("0.0.0.0");
    std::string settings = dir + "/bench.ini";
    std::string text = DefaultSettingsText();
    text.insert(text.find("[Misc]\n") + 7, "SnmpPort=" + std::to_string(snmpPort) +
                                               "\nTrapPort=" + std::to_string(trapPort) + "\n");
    WriteFile(settings, text);
    SetINIPathOverride(settings);

    SimulatedFleet fleet({"--generate", std::to_string(kSenders), "--first-address", kFirstAddress,
                          "--snmp-port", std::to_string(snmpPort), "--settings", settings,
                          "--no-broadcast"});
    PrintedMessages messages;
    CTarnDoc doc(messages, NetSnmpManager());
    g_pDoc = &doc;
    LoadProcessWideSettings(doc);
    std::string last = "127.0.50." + std::to_string(kSenders);
    for (int i = 0; i < 100 && Contains(doc.GetSnmpValue(last, "OidSysName", 0, 200, 0), "Error");
         ++i) {
    }

    CountingLog log;
    auto service = std::make_unique<WatchedTrapService>();
    WatchedTrapService& watched = *service;
    TrapListener listener(doc, log, nullptr, std::move(service));
    listener.Start();
    while (!log.Listening() && !listener.Ended().IsSet()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (listener.Ended().IsSet()) {
        std::printf("the listener could not start\n");
        return 1;
    }

    Clock::time_point start = Clock::now();
    int sent =
        RunProgram({ProgramPath("fleetwarden-simfleet"), "trap-burst", "--to",
                    "127.0.0.1:" + std::to_string(trapPort), "--senders",
                    std::string(kFirstAddress) + "-" + last, "--count", std::to_string(kTraps)});
    double sendSeconds = SecondsSince(start);
    auto deadline = Clock::now() + std::chrono::seconds(120);
    std::uint64_t handled = 0;
    Clock::time_point lastProgress = Clock::now();
    while (Clock::now() < deadline) {
        std::uint64_t now = listener.TrapsHandled();
        if (now != handled) {
            handled = now;
            lastProgress = Clock::now();
        }
        if (handled >= static_cast<std::uint64_t>(kTraps) ||
            Clock::now() - lastProgress > std::chrono::seconds(10)) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    double seconds = SecondsSince(start);
    listener.Stop();

    std::printf(
        "trap burst: %d traps from %d simulated terminals (sender exit %d, %.2f s to send)\n",
        kTraps, kSenders, sent, sendSeconds);
    std::printf("  written:          %llu of %d traps, %ld lines, %ld name GETs failed\n",
                static_cast<unsigned long long>(handled), kTraps, log.Lines() - 1,
                log.FailedNames());
    std::printf("  order per sender: %ld out of order across %zu senders\n", watched.OutOfOrder(),
                watched.Senders());
    std::printf(
        "  throughput:       %.0f traps per second (%.2f s until the last was written;"
        " goal 3000)\n",
        static_cast<double>(handled) / seconds, seconds);
    return handled == static_cast<std::uint64_t>(kTraps) ? 0 : 1;
}
