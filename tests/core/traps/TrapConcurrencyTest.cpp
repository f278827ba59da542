// The listener thread and the trap service's receiving thread beside the other
// users of the terminal database, the upload state and net-snmp.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "FakeTerminals.h"
#include "SnmpdAgent.h"
#include "TrapSender.h"
#include "TrapTestSupport.h"
#include "core/terminals/RefreshTerminals.h"
#include "core/terminals/TerminalDatabase.h"

namespace {

TEST(TrapConcurrency, ColdStartsRegisterWhileTheDatabaseIsRefreshedAndCleared) {
    FakeSnmpManager snmp;
    const int kTerminals = 10;
    for (int i = 1; i <= kTerminals; ++i) {
        char mac[13];
        std::snprintf(mac, sizeof(mac), "0080641201%02X", i);
        AddFakeTerminal(
            snmp,
            {.ip = "127.0.2." + std::to_string(i), .name = "T" + std::to_string(i), .mac = mac});
    }
    ListeningConsole console(DefaultSettingsWith(), &snmp);
    ASSERT_TRUE(console.Listening());
    SnmpdAgent agent;

    const int kTraps = 300;
    std::atomic<bool> sending{true};
    std::jthread sender([&] {
        TrapSender traps(console.trapPort);
        for (int i = 0; i < kTraps; ++i) {
            traps.SendV1("127.0.2." + std::to_string(1 + i % kTerminals), i % 3 == 2 ? 6 : 0,
                         i % 3 == 2 ? 5 : 0);
            if (i % 20 == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }
        sending = false;
    });
    std::jthread upload([&] {
        while (sending) {
            console.document.State().Upload().Await("127.0.2.3");
            std::this_thread::yield();
            console.document.State().Upload().StopAwaiting();
        }
    });
    // Requests of our own through net-snmp while the service parses traps.
    std::jthread requests([&] {
        if (!agent.Ready()) {
            return;
        }
        while (sending) {
            unsigned long code = 0;
            auto session =
                NetSnmpManager().Open({"127.0.0.1", agent.Port(), "public", 500, 0}, code);
            SnmpVarBindList bindings(1);
            ParseOidText(".1.3.6.1.2.1.1.5.0", bindings[0].name);
            if (session) {
                session->Request(SnmpPduType::Get, bindings);
            }
            NetSnmpManager().Close(std::move(session));
        }
    });
    while (sending) {
        RefreshAndValidateTerminals(console.document.Doc());
        console.document.Terminals().Clear();
    }
    ASSERT_TRUE(console.WaitForTraps(kTraps, std::chrono::seconds(60)));
    console.listener->Stop();
    EXPECT_EQ(console.Blocks().size(), static_cast<std::size_t>(kTraps));
    EXPECT_GE(console.view.trapNewUnits, 1);
}

}  // namespace
