#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "FakeTerminals.h"
#include "TestDocument.h"
#include "core/terminals/RefreshTerminals.h"
#include "core/terminals/TerminalDatabase.h"

namespace {

TEST(TerminalConcurrency, DoubleRegistrationsAndRenamesWhileRefreshRemovesRecords) {
    FakeSnmpManager snmp;
    TestDocument t(DefaultSettingsWith(), &snmp);
    // Even terminals keep their names; odd ones keep renaming themselves, so
    // refreshes remove their records while registrations put them back. Two
    // threads register every terminal, so each is registered twice at once.
    const int kTerminals = 20;
    auto ip = [](int i) { return "127.0.1." + std::to_string(i + 1); };
    auto mac = [](int i) {
        char text[13];
        std::snprintf(text, sizeof(text), "0080641200%02X", i);
        return std::string(text);
    };
    for (int i = 0; i < kTerminals; ++i) {
        AddFakeTerminal(snmp, {.ip = ip(i), .name = "T" + std::to_string(i), .mac = mac(i)});
    }
    std::map<int, std::string> finalNames;
    std::atomic<bool> renaming{true};
    std::thread renamer([&] {
        for (int round = 0; renaming; ++round) {
            for (int i = 1; i < kTerminals; i += 2) {
                std::string name = "T" + std::to_string(i) + "-" + std::to_string(round % 3);
                snmp.SetAgentValue(ip(i), ".1.3.6.1.2.1.1.5.0", FakeSnmpManager::Text(name));
                finalNames[i] = name;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
    auto registerAll = [&] {
        for (int round = 0; round < 8; ++round) {
            for (int i = 0; i < kTerminals; ++i) {
                t.Doc().RegisterTerminal(ip(i));
            }
        }
    };
    std::thread first(registerAll);
    std::thread second(registerAll);
    for (int round = 0; round < 8; ++round) {
        RefreshAndValidateTerminals(t.Doc());
    }
    first.join();
    second.join();
    renaming = false;
    renamer.join();

    // Once the names stay put, a refresh drops the stale names and one more
    // registration brings back the renamed: every terminal is there once,
    // under the name it has now, however the race went.
    RefreshAndValidateTerminals(t.Doc());
    for (int i = 0; i < kTerminals; ++i) {
        t.Doc().RegisterTerminal(ip(i));
    }
    std::map<std::string, std::string> byMac;
    for (const auto& entry : t.Terminals().Entries()) {
        EXPECT_TRUE(byMac.emplace(entry.record.m_macAdr, entry.record.m_name).second)
            << "twice: " << entry.record.m_name << " " << entry.record.m_macAdr;
    }
    ASSERT_EQ(byMac.size(), static_cast<std::size_t>(kTerminals));
    for (int i = 0; i < kTerminals; ++i) {
        EXPECT_EQ(byMac[mac(i)], i % 2 ? finalNames[i] : "T" + std::to_string(i));
    }
    t.Terminals().Clear();
}

}  // namespace
