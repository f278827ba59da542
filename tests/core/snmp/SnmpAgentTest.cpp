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
    EXPECT_EQ(Doc().GetSnmpValue(Ip(), "OidSysLocation"), "Test Rack 7");
    EXPECT_EQ(Doc().GetSnmpValue(Ip(), "OidNegative"), "-5");
    EXPECT_EQ(Doc().GetSnmpValue(Ip(), "OidObject"), ".1.3.6.1.4.1.9");
    EXPECT_EQ(Doc().GetSnmpValue(Ip(), "OidSysObjID").rfind(".1.3.6.1.4.1.8072", 0), 0u);
    EXPECT_EQ(Doc().GetSnmpValue(Ip(), "OidLong"), std::string(254, 'A'));
    EXPECT_EQ(Doc().GetSnmpValue(Ip(), "OidZeroInside"), "AB");
    // Types the console does not convert.
    EXPECT_EQ(Doc().GetSnmpValue(Ip(), "OidUpTime"), "GetNotOctStrOrIntegerError");
    EXPECT_EQ(Doc().GetSnmpValue(Ip(), "OidCounter"), "GetNotOctStrOrIntegerError");
    EXPECT_EQ(Doc().GetSnmpValue(Ip(), "OidAddress"), "GetNotOctStrOrIntegerError");
    EXPECT_TRUE(t->Messages().Texts().empty());
}

TEST_F(SnmpAgent, MacAddressesAreFormattedOnlyUnderTheirOwnName) {
    // The interface table's third entry is the Ethernet one.
    EXPECT_EQ(Doc().GetSnmpValue(Ip(), "OidIfType", 3), "6");
    EXPECT_EQ(Doc().GetSnmpValue(Ip(), "OidMacAdr", 3), "00806412ABCD");
    // The same six bytes under another name stop at the first zero byte.
    EXPECT_EQ(Doc().GetSnmpValue(Ip(), "OidRawMac"), "");
}

TEST_F(SnmpAgent, UnknownObjectsGiveTheStatusText) {
    EXPECT_EQ(Doc().GetSnmpValue(Ip(), "OidUnknown"),
              "Get - The requested operation identified an unknown variable - "
              "AgentErrorStatusError");
    EXPECT_EQ(Doc().SetSnmpValue(Ip(), "OidUnknown", "x"),
              "Set - The requested operation identified an unknown variable - "
              "AgentErrorStatusError");
}

TEST_F(SnmpAgent, ASuccessfulSetReadsBackWithAnIndependentClient) {
    EXPECT_EQ(Doc().SetSnmpValue(Ip(), "OidWritable", "written by test"), "NoneNoneNone");
    CommandResult check = RunCommand({FindProgram("snmpget"), "-v1", "-c", "public", "-Ovq",
                                      agent->Endpoint(), ".1.3.6.1.4.1.32473.99.20.0"});
    EXPECT_EQ(check.exitCode, 0) << check.output;
    EXPECT_EQ(check.output, "\"written by test\"\n");
    EXPECT_EQ(Doc().GetSnmpValue(Ip(), "OidWritable"), "written by test");
}

TEST_F(SnmpAgent, ASetTheAgentRefusesEndsWithTheUnchangedResult) {
    // sysLocation comes from the agent's configuration, so the agent refuses to change it.
    std::string result = Doc().SetSnmpValue(Ip(), "OidSysLocation", "elsewhere");
    EXPECT_EQ(result.rfind("Set - ", 0), 0u) << result;
    EXPECT_EQ(result.substr(result.size() - 15), " - NoneNoneNone") << result;
    EXPECT_EQ(Doc().GetSnmpValue(Ip(), "OidSysLocation"), "Test Rack 7");
}

TEST_F(SnmpAgent, AWrongCommunityIsATimeOut) {
    t->State().GetCommunity().Set("not-the-community");
    EXPECT_EQ(Doc().GetSnmpValue(Ip(), "OidSysName", 0, 100, 1),
              "Get Get - The request timed-out - SnmpMgrRequestGETError");
}

TEST_F(SnmpAgent, AWorkerThatIsNotStoppedGetsItsAnswers) {
    std::stop_source stop;
    WorkerDocument worker(Doc(), stop.get_token());
    EXPECT_EQ(worker.Doc().GetSnmpValue(Ip(), "OidSysLocation"), "Test Rack 7");
    EXPECT_EQ(worker.Doc().SetSnmpValue(Ip(), "OidWritable", "from a worker"), "NoneNoneNone");
}

TEST(SnmpSilentAgent, AStopEndsTheWaitForAnAnswerAtOnce) {
    using std::chrono::steady_clock;
    TestDocument t(AgentSettings(FreeUdpPort("127.0.0.1")));
    std::stop_source stop;
    WorkerDocument worker(t.Doc(), stop.get_token());
    const std::string timedOut = "Get Get - The request timed-out - SnmpMgrRequestGETError";
    // The default time-out and retries take 8 s; a single try alone takes 2 s.
    auto started = steady_clock::now();
    std::jthread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop.request_stop();
    });
    EXPECT_EQ(worker.Doc().GetSnmpValue("127.0.0.1", "OidSysName"), timedOut);
    EXPECT_LT(steady_clock::now() - started, std::chrono::milliseconds(1500));
    // Once stopped, a request gives up without waiting at all.
    started = steady_clock::now();
    EXPECT_EQ(worker.Doc().GetSnmpValue("127.0.0.1", "OidSysName"), timedOut);
    EXPECT_LT(steady_clock::now() - started, std::chrono::milliseconds(500));
}

TEST(SnmpSilentAgent, ASilentAddressTimesOutAfterTheGivenTries) {
    // Nothing listens on this loopback address and port.
    TestDocument t(AgentSettings(FreeUdpPort("127.0.0.1")));
    EXPECT_EQ(t.Doc().GetSnmpValue("127.0.0.1", "OidSysName", 0, 100, 2),
              "Get Get - The request timed-out - SnmpMgrRequestGETError");
}

}  // namespace
