// GET and SET against net-snmp's own agent, snmpd, on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include "MissingPeer.h"

#include "NetworkTestSupport.h"
#include "SnmpdAgent.h"
#include "TestDocument.h"
#include "core/app/WorkerDocument.h"
#include "core/common/Sentinel.h"

namespace {

const char* const kUnknown = " - The requested operation identified an unknown variable - ";
const std::string kTimedOut = "Get Get - The request timed-out - SnmpMgrRequestGETError";

class SnmpAgent : public ::testing::Test {
protected:
    static void SetUpTestSuite() { agent = new SnmpdAgent(); }
    static void TearDownTestSuite() {
        delete agent;
        agent = nullptr;
    }
    void SetUp() override {
        if (!agent->Ready()) {
            SKIP_FOR_MISSING_PEER("snmpd did not start: " + agent->Log());
        }
        t = std::make_unique<TestDocument>(AgentSettings(agent->Port()));
    }
    CTarnDoc& Doc() { return t->Doc(); }
    std::string Ip() const { return agent->Address(); }

    static SnmpdAgent* agent;
    std::unique_ptr<TestDocument> t;
};
SnmpdAgent* SnmpAgent::agent = nullptr;

TEST_F(SnmpAgent, ReadsEachValueTypeAsText) {
    const std::pair<const char*, std::string> cases[] = {
        {"OidSysLocation", "Test Rack 7"},
        {"OidNegative", "-5"},
        {"OidObject", ".1.3.6.1.4.1.9"},
        {"OidLong", std::string(254, 'A')},
        {"OidZeroInside", "AB"},
        // Types the console does not convert.
        {"OidUpTime", "GetNotOctStrOrIntegerError"},
        {"OidCounter", "GetNotOctStrOrIntegerError"},
        {"OidAddress", "GetNotOctStrOrIntegerError"},
        // Six bytes are a MAC address only under its own name; otherwise they stop
        // at the first zero byte.
        {"OidRawMac", ""},
        {"OidUnknown", "Get" + std::string(kUnknown) + "AgentErrorStatusError"},
    };
    for (const auto& [name, text] : cases) {
        EXPECT_EQ(Doc().GetSnmpValue(Ip(), name), text) << name;
    }
    EXPECT_EQ(Doc().GetSnmpValue(Ip(), "OidIfType", 3), "6");
    EXPECT_EQ(Doc().GetSnmpValue(Ip(), "OidMacAdr", 3), "00806412ABCD");
    EXPECT_EQ(Doc().SetSnmpValue(Ip(), "OidUnknown", "x"),
              "Set" + std::string(kUnknown) + "AgentErrorStatusError");
    EXPECT_TRUE(t->Messages().Texts().empty());
}

// What a SET wrote, an independent client reads; a worker that is not stopped
// gets its answers; a SET the agent refuses ends with the unchanged result.
TEST_F(SnmpAgent, SetsAreReadBackByAnIndependentClient) {
    std::stop_source stop;
    WorkerDocument worker(Doc(), stop.get_token());
    EXPECT_EQ(worker.Doc().SetSnmpValue(Ip(), "OidWritable", "written by test"), "NoneNoneNone");
    CommandResult check = RunCommand({FindProgram("snmpget"), "-v1", "-c", "public", "-Ovq",
                                      agent->Endpoint(), ".1.3.6.1.4.1.32473.99.20.0"});
    EXPECT_EQ(check.output, "\"written by test\"\n");
    EXPECT_EQ(worker.Doc().GetSnmpValue(Ip(), "OidWritable"), "written by test");
    // sysLocation comes from the agent's configuration, so the agent refuses to change it.
    std::string result = Doc().SetSnmpValue(Ip(), "OidSysLocation", "elsewhere");
    EXPECT_EQ(result.rfind("Set - ", 0), 0u) << result;
    EXPECT_TRUE(result.ends_with(" - NoneNoneNone")) << result;
    EXPECT_EQ(Doc().GetSnmpValue(Ip(), "OidSysLocation"), "Test Rack 7");
    // A wrong community gets no answer at all.
    t->State().GetCommunity().Set("not-the-community");
    EXPECT_EQ(Doc().GetSnmpValue(Ip(), "OidSysName", 0, 100, 1), kTimedOut);
}

TEST(SnmpSilentAgent, AStopEndsTheWaitForAnAnswerAtOnce) {
    using std::chrono::steady_clock;
    TestDocument t(AgentSettings(FreeUdpPort("127.0.0.1")));
    std::stop_source stop;
    WorkerDocument worker(t.Doc(), stop.get_token());
    // The default time-out and retries take 8 s; a single try alone takes 2 s.
    auto started = steady_clock::now();
    std::jthread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop.request_stop();
    });
    EXPECT_EQ(worker.Doc().GetSnmpValue("127.0.0.1", "OidSysName"), kTimedOut);
    EXPECT_LT(steady_clock::now() - started, std::chrono::milliseconds(1500));
    // Once stopped, a request gives up without waiting at all.
    started = steady_clock::now();
    EXPECT_EQ(worker.Doc().GetSnmpValue("127.0.0.1", "OidSysName"), kTimedOut);
    EXPECT_LT(steady_clock::now() - started, std::chrono::milliseconds(500));
}

}  // namespace
