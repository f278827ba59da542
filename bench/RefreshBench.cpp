// The refresh of 200 simulated terminals against the bare network cost of the
// same reads: eleven single GETs per terminal made back to back with net-snmp,
// one session per terminal, no settings lookups. The ratio shows what the
// settings lookups, the session per request and the database locking add.
//
// Then a refresh of 1,000 terminals, 50 of them silent (each costs its name
// GET's full time-out and retries), one by one against 32 terminals read at
// once (and 64), with whether the runs leave the same list.
//
//   RefreshBench [--no-ratio]
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstdio>
#include <cstring>
#include <thread>

#include "BenchSupport.h"
#include "core/app/CTarnDoc.h"
#include "core/app/StartupSettings.h"
#include "core/settings/SettingsPath.h"
#include "core/snmp/SnmpManager.h"
#include "core/snmp/SnmpTypes.h"
#include "core/terminals/RefreshTerminals.h"
#include "core/terminals/TerminalDatabase.h"

namespace {

constexpr int kTerminals = 200;
const char* const kFirstAddress = "127.0.40.1";

std::string AddressOf(int i) {
    return "127.0.40." + std::to_string(i + 1);
}

// The eleven objects the refresh reads from a current terminal.
std::vector<std::string> RefreshOids(const std::string& prefix) {
    return {".1.3.6.1.2.1.1.5.0", ".1.3.6.1.2.1.1.5.0", ".1.3.6.1.2.1.1.1.0", ".1.3.6.1.2.1.1.6.0",
            ".1.3.6.1.2.1.1.4.0", prefix + ".1.1.0",    prefix + ".1.2.0",    prefix + ".1.3.0",
            prefix + ".1.4.0",    prefix + ".1.5.0",    prefix + ".1.6.0"};
}

// Eleven GETs per terminal straight through net-snmp; returns the answered count.
int BareReads(CTarnDoc& doc, unsigned port) {
    int answered = 0;
    for (const auto& entry : doc.State().Terminals().Entries()) {
        std::string peer = "udp:" + entry.record.m_ip + ":" + std::to_string(port);
        netsnmp_session settings;
        snmp_sess_init(&settings);
        settings.version = SNMP_VERSION_1;
        settings.peername = peer.data();
        settings.community = reinterpret_cast<u_char*>(const_cast<char*>("public"));
        settings.community_len = 6;
        void* session = snmp_sess_open(&settings);
        if (!session) {
            continue;
        }
        for (const auto& text : RefreshOids(entry.record.m_entPrefix)) {
            SnmpOid parsed;
            ParseOidText(text, parsed);
            std::vector<oid> name(parsed.begin(), parsed.end());
            netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_GET);
            snmp_add_null_var(pdu, name.data(), name.size());
            netsnmp_pdu* response = nullptr;
            if (snmp_sess_synch_response(session, pdu, &response) == STAT_SUCCESS) {
                ++answered;
            }
            if (response) {
                snmp_free_pdu(response);
            }
        }
        snmp_sess_close(session);
    }
    return answered;
}

// A settings file of the bench's own whose agents listen on `port`.
std::string BenchSettings(unsigned port) {
    std::string settings = MakeTempDir() + "/bench.ini";
    std::string text = DefaultSettingsText();
    text.insert(text.find("[Misc]\n") + 7, "SnmpPort=" + std::to_string(port) + "\n");
    WriteFile(settings, text);
    return settings;
}

void RatioToBareReads() {
    unsigned port = FreeUdpPortOn(kFirstAddress);
    std::string settings = BenchSettings(port);
    SharedState state(settings);

    SimulatedFleet fleet({"--generate", std::to_string(kTerminals), "--first-address",
                          kFirstAddress, "--snmp-port", std::to_string(port), "--settings",
                          settings, "--no-broadcast"});
    PrintedMessages messages;
    CTarnDoc doc(messages, NetSnmpManager(), state);
    LoadProcessWideSettings(doc);

    // Wait for the fleet, then register every terminal.
    WaitUntilAnswering(doc, AddressOf(kTerminals - 1));
    for (int i = 0; i < kTerminals; ++i) {
        doc.RegisterTerminal(AddressOf(i));
    }
    std::printf("terminals registered: %zu of %d\n", doc.State().Terminals().Count(), kTerminals);

    const int kRounds = 3;
    double refresh = 0, bare = 0;
    int answered = 0;
    for (int round = 0; round < kRounds; ++round) {
        auto start = Clock::now();
        RefreshAndValidateTerminals(doc);
        refresh += SecondsSince(start);
        start = Clock::now();
        answered = BareReads(doc, port);
        bare += SecondsSince(start);
    }
    refresh /= kRounds;
    bare /= kRounds;
    std::printf("terminals after refresh: %zu\n", doc.State().Terminals().Count());
    std::printf("refresh of all terminals: %.3f s (%.2f ms per terminal)\n", refresh,
                1000 * refresh / kTerminals);
    std::printf("bare GETs (%d answered): %.3f s (%.2f ms per terminal)\n", answered, bare,
                1000 * bare / kTerminals);
    std::printf("ratio refresh / bare: %.2f\n", bare > 0 ? refresh / bare : 0.0);
    doc.State().Terminals().Clear();
}

constexpr int kLargeFleet = 1000;
constexpr int kSilent = 50;

// The large fleet's addresses, as the fleet generates them (hosts 1 to 254 of
// each /24): the live terminals first, then the silent ones.
std::string LargeFleetAddress(int i) {
    return "127.0." + std::to_string(44 + i / 254) + "." + std::to_string(1 + i % 254);
}

struct Run {
    double seconds;
    std::vector<TerminalRecord> list;
};

Run RefreshFrom(CTarnDoc& doc, const std::vector<TerminalRecord>& records, long width) {
    doc.State().Terminals().Clear();
    for (const auto& record : records) {
        doc.State().Terminals().Append(record);
    }
    auto start = Clock::now();
    RefreshAndValidateTerminals(doc, {}, width);
    Run run{SecondsSince(start), {}};
    for (const auto& entry : doc.State().Terminals().Entries()) {
        run.list.push_back(entry.record);
    }
    return run;
}

void ParallelAgainstOneByOne() {
    const int live = kLargeFleet - kSilent;
    unsigned port = FreeUdpPortOn(LargeFleetAddress(0));
    std::string settings = BenchSettings(port);
    SharedState state(settings);
    SimulatedFleet fleet({"--generate", std::to_string(live), "--generate-silent",
                          std::to_string(kSilent), "--first-address", LargeFleetAddress(0),
                          "--snmp-port", std::to_string(port), "--settings", settings,
                          "--no-broadcast"});
    PrintedMessages messages;
    CTarnDoc doc(messages, NetSnmpManager(), state);
    LoadProcessWideSettings(doc);
    if (!WaitUntilAnswering(doc, LargeFleetAddress(live - 1))) {
        std::fprintf(stderr, "the simulated fleet did not answer\n");
        return;
    }
    // Every twentieth record of the list is a terminal that fell silent after
    // it was registered; it keeps the record it was registered with.
    for (int i = 0; i < live; ++i) {
        doc.RegisterTerminal(LargeFleetAddress(i));
    }
    std::vector<TerminalRecord> registered;
    for (const auto& entry : doc.State().Terminals().Entries()) {
        registered.push_back(entry.record);
        if (registered.size() % 20 == 19) {
            TerminalRecord silent = entry.record;
            silent.m_ip = LargeFleetAddress(live + static_cast<int>(registered.size() / 20));
            silent.m_name = "SILENT-" + std::to_string(registered.size());
            registered.push_back(silent);
        }
    }
    std::printf("\n%zu terminals in the list (%d live registered of %d), %d silent\n",
                registered.size(), static_cast<int>(doc.State().Terminals().Count()), live,
                kSilent);
    Run oneByOne = RefreshFrom(doc, registered, 1);
    std::printf("one by one:     %7.2f s, %zu terminals left\n", oneByOne.seconds,
                oneByOne.list.size());
    // A silent terminal holds one read for its name GET's four tries of 2 s;
    // the reads in flight take the silent terminals in rounds.
    const double silentCost = 4 * 2.0;
    for (long width : {32L, 64L}) {
        Run parallel = RefreshFrom(doc, registered, width);
        long rounds = (kSilent + width - 1) / width;
        std::printf(
            "%ld in flight:   %7.2f s, %zu terminals left (%.1fx faster); floor %ld x %.0f s; "
            "same list: %s\n",
            width, parallel.seconds, parallel.list.size(), oneByOne.seconds / parallel.seconds,
            rounds, silentCost, parallel.list == oneByOne.list ? "yes" : "NO");
    }
    doc.State().Terminals().Clear();
}

}  // namespace

int main(int argc, char** argv) {
    InitialiseSnmpLibrary();
    if (!(argc > 1 && std::strcmp(argv[1], "--no-ratio") == 0)) {
        RatioToBareReads();
    }
    ParallelAgainstOneByOne();
    return 0;
}
