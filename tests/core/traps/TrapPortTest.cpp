// Which port the trap listener asks the trap service for.
#include <gtest/gtest.h>

#include <atomic>

#include "FakeSnmpManager.h"
#include "RecordingTrapLog.h"
#include "TestDocument.h"

namespace {

// Records the port it is asked to listen on and pretends to listen.
class PortRecordingService final : public ITrapService {
public:
    explicit PortRecordingService(std::atomic<unsigned>& port) : m_port(port) {}
    bool TrapListen(unsigned port, TrapListenFailure& /*failure*/) override {
        m_port = port;
        return true;
    }
    ManualResetEvent& TrapEvent() override { return m_event; }
    std::optional<SnmpTrap> GetTrap() override { return std::nullopt; }

private:
    std::atomic<unsigned>& m_port;
    ManualResetEvent m_event;
};

TEST(TrapListener, APortSettingOutsideOneTo65535IsReportedAndNoPortIsTaken) {
    struct Case {
        std::string value;  // of "Misc"/TrapPort; empty: no such line
        unsigned port;      // asked of the service; 0: none
    };
    for (const auto& c : {Case{"", 162}, Case{"16162", 16162}, Case{"99999", 0}, Case{"0", 0},
                          Case{"-162", 0}, Case{"abc", 0}}) {
        SCOPED_TRACE(c.value);
        FakeSnmpManager snmp;
        TestDocument t(c.value.empty() ? "[Misc]\n" : "[Misc]\nTrapPort=" + c.value + "\n", &snmp);
        RecordingTrapLog log;
        std::atomic<unsigned> asked{0};
        TrapListener listener(t.Doc(), log, nullptr, std::make_unique<PortRecordingService>(asked));
        listener.Start();
        if (c.port != 0) {
            EXPECT_TRUE(log.WaitForLine("Listening For Traps..."));
            listener.Stop();
            EXPECT_EQ(asked, c.port);
            continue;
        }
        ASSERT_TRUE(listener.Ended().WaitFor(std::chrono::seconds(10)));
        EXPECT_EQ(listener.ExitCode(), 1);
        EXPECT_EQ(asked, 0u);
        EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                                   "SnmpMgrListen Function Unknown Error",
                                   "The setting TrapPort=" + c.value +
                                       " in section Misc of the settings file " + t.SettingsPath() +
                                       " is not a port number from 1 to 65535; it is not used"}));
    }
}

}  // namespace
