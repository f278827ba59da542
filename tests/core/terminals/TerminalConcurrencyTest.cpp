#include <gtest/gtest.h>

#include <thread>

#include "FakeTerminals.h"
#include "TestDocument.h"
#include "core/terminals/RefreshTerminals.h"
#include "core/terminals/TerminalDatabase.h"

namespace {

TEST(TerminalConcurrency, RegistrationFromTwoThreadsWhileRefreshRemovesRecords) {
    FakeSnmpManager snmp;
    TestDocument t(DefaultSettingsWith(), &snmp);
    // Even terminals keep their names; odd ones have renamed themselves, so each
    // refresh removes them while the two registering threads put them back.
    const int kTerminals = 20;
    for (int i = 0; i < kTerminals; ++i) {
        std::string ip = "127.0.1." + std::to_string(i + 1);
        char mac[13];
        std::snprintf(mac, sizeof(mac), "0080641200%02X", i);
        AddFakeTerminal(snmp, {.ip = ip, .name = "T" + std::to_string(i), .mac = mac});
    }
    auto registerAll = [&](int first) {
        for (int round = 0; round < 5; ++round) {
            for (int i = first; i < kTerminals; i += 2) {
                t.Doc().RegisterTerminal("127.0.1." + std::to_string(i + 1));
            }
        }
    };
    std::thread even(registerAll, 0);
    std::thread odd(registerAll, 1);
    for (int round = 0; round < 5; ++round) {
        RefreshAndValidateTerminals(t.Doc());
    }
    even.join();
    odd.join();

    // Every terminal is in the list exactly once.
    auto entries = g_Terminals.Entries();
    std::set<std::string> names;
    for (const auto& e : entries) {
        names.insert(e.record.m_strName);
    }
    EXPECT_EQ(entries.size(), static_cast<std::size_t>(kTerminals));
    EXPECT_EQ(names.size(), static_cast<std::size_t>(kTerminals));
    g_Terminals.Clear();
}

}  // namespace
