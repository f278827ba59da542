// A flood of 8,000 traps of 65 KB, each with 9,277 tiny bindings, sent while
// the listener waits on the name GET of a sender that never answers (all of
// them claim to come from it). Prints the memory the process held before,
// at its peak and after, and what became of the traps.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "core/app/CTarnDoc.h"
#include "core/app/StartupSettings.h"
#include "core/common/TextFormat.h"
#include "core/settings/SettingsPath.h"
#include "core/snmp/SnmpManager.h"
#include "core/traps/TrapListener.h"

namespace {

constexpr int kTraps = 8000;
constexpr std::size_t kTinyBindings = 9277;
// No agent listens there: its name GET waits out the time-out and retries.
const std::uint8_t kSilentAgent[] = {127, 0, 0, 99};

using Bytes = std::vector<std::uint8_t>;

Bytes Element(std::uint8_t tag, const Bytes& contents) {
    std::size_t n = contents.size();
    Bytes out = {tag};
    if (n >= 0x80) {
        out.push_back(0x83);
        out.push_back(static_cast<std::uint8_t>(n >> 16));
        out.push_back(static_cast<std::uint8_t>(n >> 8));
    }
    out.push_back(static_cast<std::uint8_t>(n));
    out.insert(out.end(), contents.begin(), contents.end());
    return out;
}

// A version 1 trap (6/5) whose bindings are all ".1.3 = NULL", 7 bytes each.
Bytes FloodTrap() {
    Bytes bindings;
    const Bytes tiny = {0x30, 0x05, 0x06, 0x01, 0x2b, 0x05, 0x00};
    for (std::size_t i = 0; i < kTinyBindings; ++i) {
        bindings.insert(bindings.end(), tiny.begin(), tiny.end());
    }
    Bytes pdu = Element(0x06, {0x2b, 6, 1, 4, 1, 0x81, 0xfd, 0x59});
    Bytes agent = Element(0x40, Bytes(std::begin(kSilentAgent), std::end(kSilentAgent)));
    for (const Bytes& part : {agent, Element(0x02, {6}), Element(0x02, {5}), Element(0x43, {0}),
                              Element(0x30, bindings)}) {
        pdu.insert(pdu.end(), part.begin(), part.end());
    }
    Bytes message = {0x02, 0x01, 0x00, 0x04, 0x06, 'p', 'u', 'b', 'l', 'i', 'c'};
    Bytes wrapped = Element(0xa4, pdu);
    message.insert(message.end(), wrapped.begin(), wrapped.end());
    return Element(0x30, message);
}

// "VmRSS" or "VmHWM" of this process, in MB.
double MemoryMb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::atof(line.c_str() + field.size() + 1) / 1024.0;
        }
    }
    return 0;
}

class LossLog final : public ITrapLog {
public:
    void AddLine(const std::string& text) override {
        std::lock_guard lock(m_mutex);
        if (text == "Listening For Traps...") {
            m_listening = true;
        } else if (text.rfind("Traps Lost:", 0) == 0) {
            m_losses.push_back(text);
        }
    }
    bool Listening() const {
        std::lock_guard lock(m_mutex);
        return m_listening;
    }
    std::vector<std::string> Losses() const {
        std::lock_guard lock(m_mutex);
        return m_losses;
    }

private:
    mutable std::mutex m_mutex;
    bool m_listening = false;
    std::vector<std::string> m_losses;
};

// Counts the traps the listener takes off the service's queue, so the flood
// can be sent no faster than they are read (the kernel would drop the rest
// unseen).
class CountingTrapService final : public ITrapService {
public:
    CountingTrapService() : m_inner(MakeNetTrapService()) {}
    bool TrapListen(unsigned port, TrapListenFailure& failure) override {
        return m_inner->TrapListen(port, failure);
    }
    ManualResetEvent& TrapEvent() override { return m_inner->TrapEvent(); }
    std::optional<SnmpTrap> GetTrap() override {
        auto trap = m_inner->GetTrap();
        taken += trap ? 1 : 0;
        return trap;
    }
    TrapLosses TakeLosses() override { return m_inner->TakeLosses(); }
    std::atomic<long> taken{0};

private:
    std::unique_ptr<ITrapService> m_inner;
};

}  // namespace

int main() {
    InitialiseSnmpLibrary();
    std::string dir = MakeTempDir();
    unsigned trapPort = FreeUdpPortOn("0.0.0.0");
    std::string settings = dir + "/bench.ini";
    std::string text = DefaultSettingsText();
    text.insert(text.find("[Misc]\n") + 7,
                "SnmpPort=" + std::to_string(FreeUdpPortOn("127.0.0.99")) +
                    "\nTrapPort=" + std::to_string(trapPort) + "\n");
    WriteFile(settings, text);
    SharedState state(settings);
    PrintedMessages messages;
    CTarnDoc doc(messages, NetSnmpManager(), state);
    LoadProcessWideSettings(doc);

    LossLog log;
    auto service = std::make_unique<CountingTrapService>();
    CountingTrapService& counted = *service;
    TrapListener listener(doc, log, nullptr, std::move(service));
    listener.Start();
    while (!log.Listening() && !listener.Ended().IsSet()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Bytes datagram = FloodTrap();
    int sock = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(trapPort));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    double before = MemoryMb("VmRSS");

    Clock::time_point start = Clock::now();
    for (int i = 0; i < kTraps; ++i) {
        ::sendto(sock, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to),
                 sizeof(to));
        // A few in the kernel's buffer at a time.
        while (i - counted.taken > 32 && SecondsSince(start) < 600) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    while (counted.taken < kTraps && SecondsSince(start) < 600) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    double floodSeconds = SecondsSince(start);
    // The loss line follows once the losses have stopped for a second.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    double peak = MemoryMb("VmHWM");
    double after = MemoryMb("VmRSS");
    ::close(sock);
    listener.Stop();

    std::printf(
        "trap flood: %d traps of %zu bytes with %zu bindings each, in %.1f s, while the\n"
        "  listener waits on the name GET of their sender, which never answers\n",
        kTraps, datagram.size(), kTinyBindings, floodSeconds);
    std::printf("  taken off the queue: %ld\n", counted.taken.load());
    for (const auto& line : log.Losses()) {
        std::printf("  %s\n", line.c_str());
    }
    std::printf("  memory (RSS):        %.1f MB before, %.1f MB at the peak, %.1f MB after\n",
                before, peak, after);
    return 0;
}
