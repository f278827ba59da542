// A burst of traps from 50 live simulated terminals into the trap listener, while
// a sender that never answers (a terminal with a wrong agent address, or a
// forged trap) sends one trap a second. Every trap costs one name GET to its
// sender. First, a cold start from the silent sender, whose registration waits
// out a time-out for every object, and a good trap one second after it.
// Prints how long the good trap took, how many of the burst were written, in
// which order per sender, and how many per second the listener got through.
#include <fcntl.h>
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
// No agent listens there: every name GET waits out its time-out and retries.
const char* const kSilentAddress = "127.0.50.200";
// The burst's traps carry this plus their number as their specific number.
constexpr int kNumbered = 1000000;

// Counts the written traps of the live senders and checks their order per
// sender; remembers failed name GETs and loss lines, so neither goes unseen.
class CountingLog final : public ITrapLog {
public:
    void AddLine(const std::string& text) override {
        std::lock_guard lock(m_mutex);
        if (text == "Listening For Traps...") {
            m_listening = true;
        } else if (text.rfind("Traps Lost:", 0) == 0) {
            ++m_lossLines;
        }
        std::size_t at = text.find(" : 127.0.50.");
        if (at != std::string::npos) {
            int sender = std::atoi(text.c_str() + at + 12);
            if (sender != 200) {
                m_sender = sender;
                ++m_good;
                m_failedNames += Contains(text, "Error") ? 1 : 0;
                return;
            }
        }
        // The line after a live sender's name line: its trap's number.
        const std::string numbered = "Unknown Trap generic=6 private=";
        if (m_sender != 0 && text.rfind(numbered, 0) == 0) {
            long number = std::atol(text.c_str() + numbered.size()) - kNumbered;
            auto [last, first] = m_lastBySender.try_emplace(m_sender, number);
            m_outOfOrder += !first && number <= last->second ? 1 : 0;
            last->second = number;
        }
        m_sender = 0;
    }
    long Good() const {
        std::lock_guard lock(m_mutex);
        return m_good;
    }
    bool Listening() const {
        std::lock_guard lock(m_mutex);
        return m_listening;
    }
    void Print() const {
        std::lock_guard lock(m_mutex);
        std::printf("  order per sender: %ld out of order across %zu senders\n", m_outOfOrder,
                    m_lastBySender.size());
        std::printf("  losses:           %ld loss lines, %ld name GETs failed\n", m_lossLines,
                    m_failedNames);
    }

private:
    mutable std::mutex m_mutex;
    bool m_listening = false;
    long m_good = 0;
    long m_failedNames = 0;
    long m_lossLines = 0;
    int m_sender = 0;
    std::map<int, long> m_lastBySender;
    long m_outOfOrder = 0;
};

// The workstation's trap service, with the burst's traps numbered: the burst
// puts each trap's number in its time stamp, and this shows it as the specific
// number, so that the written lines tell the order per sender.
class NumberingTrapService final : public ITrapService {
public:
    NumberingTrapService() : m_inner(MakeNetTrapService()) {}
    bool TrapListen(unsigned port, TrapListenFailure& failure) override {
        return m_inner->TrapListen(port, failure);
    }
    ManualResetEvent& TrapEvent() override { return m_inner->TrapEvent(); }
    std::optional<SnmpTrap> GetTrap() override {
        auto trap = m_inner->GetTrap();
        if (trap && trap->generic == 6 && trap->specific == 4) {
            trap->specific = kNumbered + static_cast<int>(trap->timeStamp);
        }
        return trap;
    }
    TrapLosses TakeLosses() override { return m_inner->TakeLosses(); }

private:
    std::unique_ptr<ITrapService> m_inner;
};

int RunProgram(const std::vector<std::string>& arguments) {
    // The senders' own reports would only clutter the figures.
    pid_t pid = StartProgram(arguments, false);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int SendTrap(unsigned trapPort, const std::string& agent, int generic, int specific) {
    return RunProgram({ProgramPath("fleetwarden-simfleet"), "trap", "--to",
                       "127.0.0.1:" + std::to_string(trapPort), "--agent", agent, "--generic",
                       std::to_string(generic), "--specific", std::to_string(specific)});
}

// Waits until the log holds `count` good traps, or nothing moved for 10 s.
long WaitForGood(const CountingLog& log, long count) {
    long good = log.Good();
    Clock::time_point lastProgress = Clock::now();
    while (good < count && Clock::now() - lastProgress < std::chrono::seconds(10)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        long now = log.Good();
        if (now != good) {
            good = now;
            lastProgress = Clock::now();
        }
    }
    return good;
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
    SharedState state(settings);

    SimulatedFleet fleet({"--generate", std::to_string(kSenders), "--first-address", kFirstAddress,
                          "--snmp-port", std::to_string(snmpPort), "--settings", settings,
                          "--no-broadcast"});
    PrintedMessages messages;
    CTarnDoc doc(messages, NetSnmpManager(), state);
    LoadProcessWideSettings(doc);
    std::string last = "127.0.50." + std::to_string(kSenders);
    if (!WaitUntilAnswering(doc, last)) {
        std::printf("the simulated fleet did not answer\n");
        return 1;
    }

    CountingLog log;
    TrapListener listener(doc, log, nullptr, std::make_unique<NumberingTrapService>());
    listener.Start();
    while (!log.Listening() && !listener.Ended().IsSet()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (listener.Ended().IsSet()) {
        std::printf("the listener could not start\n");
        return 1;
    }

    // One trap a second from the silent sender throughout, the first a cold
    // start; a good trap a second after it; then the burst.
    std::atomic<bool> running{true};
    std::atomic<int> silentSent{0};
    std::jthread silent([&] {
        while (running) {
            SendTrap(trapPort, kSilentAddress, silentSent == 0 ? 0 : 6, silentSent == 0 ? 0 : 5);
            ++silentSent;
            for (int i = 0; i < 100 && running; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
    });
    while (silentSent == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    Clock::time_point goodSent = Clock::now();
    SendTrap(trapPort, kFirstAddress, 6, 5);
    long firstGood = WaitForGood(log, 1);
    double firstGoodSeconds = SecondsSince(goodSent);

    Clock::time_point start = Clock::now();
    int sent =
        RunProgram({ProgramPath("fleetwarden-simfleet"), "trap-burst", "--to",
                    "127.0.0.1:" + std::to_string(trapPort), "--senders",
                    std::string(kFirstAddress) + "-" + last, "--count", std::to_string(kTraps)});
    double sendSeconds = SecondsSince(start);
    long written = WaitForGood(log, firstGood + kTraps) - firstGood;
    double seconds = SecondsSince(start);
    running = false;
    silent.join();
    std::uint64_t silentWritten = listener.TrapsHandled() - static_cast<std::uint64_t>(written) -
                                  static_cast<std::uint64_t>(firstGood);
    Clock::time_point stopping = Clock::now();
    listener.Stop();
    double stopSeconds = SecondsSince(stopping);

    std::printf("silent cold start: the good trap sent 1 s after it was written %.3f s later\n",
                firstGoodSeconds);
    std::printf(
        "trap burst: %d traps from %d simulated terminals (sender exit %d, %.2f s to send);\n"
        "  meanwhile %d traps from a sender that never answers, one a second (%llu written)\n",
        kTraps, kSenders, sent, sendSeconds, silentSent.load(),
        static_cast<unsigned long long>(silentWritten));
    std::printf("  written:          %ld of %d traps of the live senders\n", written, kTraps);
    log.Print();
    std::printf(
        "  throughput:       %.0f traps per second (%.2f s until the last was written;"
        " goal 3000)\n",
        static_cast<double>(written) / seconds, seconds);
    std::printf("  stop:             %.3f s with the silent sender's requests in flight\n",
                stopSeconds);
    return written == kTraps ? 0 : 1;
}
