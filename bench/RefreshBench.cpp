// The refresh of 200 simulated terminals against the bare network cost of the
// same reads: eleven single GETs per terminal made back to back with net-snmp,
// one session per terminal, no settings lookups. The ratio shows what the
// settings lookups, the session per request and the database locking add.
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstdio>
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

}  // namespace

int main() {
    InitialiseSnmpLibrary();
    std::string dir = MakeTempDir();
    unsigned port = FreeUdpPortOn(kFirstAddress);
    std::string settings = dir + "/bench.ini";
    std::string text = DefaultSettingsText();
    text.insert(text.find("[Misc]\n") + 7, "SnmpPort=" + std::to_string(port) + "\n");
    WriteFile(settings, text);
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
    return 0;
}
