#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "FakeSnmpManager.h"
#include "MissingPeer.h"
#include "NetworkTestSupport.h"
#include "SnmpdAgent.h"
#include "TestDocument.h"
#include "core/app/WorkerDocument.h"
#include "core/common/Sentinel.h"

namespace {

// GET and SET against net-snmp's own agent, snmpd, on loopback.
const std::string kUnknown = " - The requested operation identified an unknown variable - ";
const std::string kTimedOut = "Get Get - The request timed-out - SnmpMgrRequestGETError";

TEST(SnmpAgent, ReadsEachValueTypeAsText) {
    SnmpdAgent agent;
    if (!agent.Ready()) {
        SKIP_FOR_MISSING_PEER("snmpd did not start: " + agent.Log());
    }
    TestDocument t(AgentSettings(agent.Port()));
    CTarnDoc& doc = t.Doc();
    const std::string ip = agent.Address();
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
        {"OidUnknown", "Get" + kUnknown + "AgentErrorStatusError"},
    };
    for (const auto& [name, text] : cases) {
        EXPECT_EQ(doc.GetSnmpValue(ip, name), text) << name;
    }
    EXPECT_EQ(doc.GetSnmpValue(ip, "OidIfType", 3), "6");
    EXPECT_EQ(doc.GetSnmpValue(ip, "OidMacAdr", 3), "00806412ABCD");
    EXPECT_EQ(doc.SetSnmpValue(ip, "OidUnknown", "x"), "Set" + kUnknown + "AgentErrorStatusError");
    EXPECT_TRUE(t.Messages().Texts().empty());
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

// Failure texts of GET and SET that a real agent cannot produce, through a
// scripted session layer.
const char* const kSettings =
    "[OID]\n"
    "OidSysName=.1.3.6.1.2.1.1.5.0\n"
    "OidBroken=.1.3..6\n"
    "OidNotApplicable=Product\n"
    "EntOidBuildNum=.1.2.0\n"
    "[Product]\n"
    "OidNotApplicable=N/A\n";

const std::string kIp = "127.0.0.9";
const std::string kUnconvertible = "Could not properly convert OID to object - ";

struct SnmpFailureTexts : ::testing::Test {
    FakeSnmpManager snmp;
    TestDocument t{kSettings, &snmp};
    CTarnDoc& doc = t.Doc();

    std::string Get(const std::string& name = "OidSysName") { return doc.GetSnmpValue(kIp, name); }
    std::string Set(const std::string& name = "OidSysName") {
        return doc.SetSnmpValue(kIp, name, "x");
    }
    // GETs answer `onGet`, SETs `onSet` (the SET's own GET is answered "old").
    void Answer(SnmpRequestResult onGet, SnmpRequestResult onSet) {
        snmp.answer = [=](const FakeSnmpManager::Request& request, SnmpVarBindList& binds) {
            binds[0].value = FakeSnmpManager::Text("old");
            return request.type == SnmpPduType::Get ? onGet : onSet;
        };
    }
};

TEST_F(SnmpFailureTexts, OidsThatCannotBeFormedSendNothing) {
    EXPECT_EQ(Get("OidNotApplicable") + "|" + Set("OidNotApplicable"), "N/A|N/A");
    EXPECT_EQ(Get("OidBroken"), kUnconvertible + "GetSnmpMgrStrToOidError");
    EXPECT_EQ(Set("OidBroken"), "Set - " + kUnconvertible + "SetSnmpMgrStrToOidError");
    // An enterprise object of a terminal that is not in the terminal list.
    EXPECT_EQ(Get("EntOidBuildNum"), kUnconvertible + "GetSnmpMgrStrToOidError");
    EXPECT_EQ(Get("OidAbsent"), kUnconvertible + "GetSnmpMgrStrToOidError");
    snmp.allocateOk = false;
    EXPECT_EQ(Get(), "Get - Could not Allocate Variable Bindings - AllocatingBindError");
    EXPECT_EQ(Set(), "Set - Could not Allocate Variable Bindings - AllocatingBindError");
    EXPECT_TRUE(snmp.Opens().empty());
}

TEST_F(SnmpFailureTexts, OpenFailures) {
    snmp.openOk = false;
    snmp.openFailureCode = 1;
    EXPECT_EQ(Get(), "Snmp Open - Memory Allocation Failure - SnmpMgrOpenError");
    snmp.openFailureCode = 1003;
    EXPECT_EQ(Get(), "Snmp Open - Unknown SnmpMgrOpen Function Error = 1003 - SnmpMgrOpenError");
    EXPECT_EQ(Set(), "SnmpMgrOpenError");
    // The close is attempted after a failed open too.
    EXPECT_EQ(snmp.Closes(), 3);
    // Where closing a never-opened session fails, that text replaces the open text.
    snmp.closeOk = false;
    EXPECT_EQ(Get(), "SnmpMgrCloseError");
}

// The request's failure code or the agent's error status, for the GET and for
// each of the SET's two requests.
TEST_F(SnmpFailureTexts, RequestFailuresAndErrorStatusesByCode) {
    const SnmpRequestResult ok{true, 0, 0, 0};
    const std::string timeOut = "- The request timed-out - ";
    const std::string select =
        "- Unexpected error file descriptors indicated by the Windows Sockets select function - ";
    struct Case {
        SnmpRequestResult onGet, onSet;
        std::string get, set;
    };
    const Case cases[] = {
        {{false, 40, 0, 0},
         ok,
         "Get Get " + timeOut + "SnmpMgrRequestGETError",
         "Set Get " + timeOut + "SnmpMgrRequestGETError"},
        {{false, 41, 0, 0}, ok, "Get Get " + select + "SnmpMgrRequestGETError", ""},
        {{false, 1012, 0, 0},
         ok,
         "Get Get - Unknown SnmpMgrRequest Function Error = 1012 - SnmpMgrRequestGETError",
         "Set Get - Unknown SnmpMgrRequest Function Error = 1012 - SnmpMgrRequestGETError"},
        {{true, 0, 1, 1},
         ok,
         "Get - The agent could not place the results of the requested operation into a single "
         "SNMP message - AgentErrorStatusError",
         ""},
        {{true, 0, 42, 1}, ok, "Get - Unknown SNMP Error Status = 42 - AgentErrorStatusError", ""},
        {ok, {false, 40, 0, 0}, "", "Set Set " + timeOut + "SnmpMgrRequestSETError"},
        {ok, {false, 41, 0, 0}, "", "Set Set " + select + "SnmpMgrRequestSETError"},
        {ok,
         {true, 0, 4, 1},
         "",
         "Set - The requested operation tried to change a variable that was not allowed to change "
         "according to the community profile of the variable - NoneNoneNone"},
        {ok, {true, 0, 17, 1}, "", "Set - SNMP_ERRORSTATUS_NOTWRITABLE - NoneNoneNone"},
        {ok, {true, 0, 19, 1}, "", "Set - Unknown SNMP Error Status = 19 - NoneNoneNone"},
    };
    for (const auto& c : cases) {
        Answer(c.onGet, c.onSet);
        if (!c.get.empty()) {
            EXPECT_EQ(Get(), c.get);
        }
        if (!c.set.empty()) {
            EXPECT_EQ(Set(), c.set);
        }
    }
    // The close's failure replaces the name of the status text.
    snmp.closeOk = false;
    Answer({true, 0, 5, 1}, ok);
    EXPECT_EQ(Get(),
              "Get - An error other than one of those listed here occurred during the requested "
              "operation - SnmpMgrCloseError");
}

TEST_F(SnmpFailureTexts, AnAnswerForAnotherObjectIsAnUnknownObject) {
    // The GETs, or only the SET, are answered with the contact object's binding.
    for (auto [spoofed, get, set] :
         {std::tuple{SnmpPduType::Get, "Get" + kUnknown + "AgentErrorStatusError",
                     "Set" + kUnknown + "AgentErrorStatusError"},
          std::tuple{SnmpPduType::Set, std::string("spoofed"),
                     "Set" + kUnknown + "NoneNoneNone"}}) {
        snmp.answer = [spoofed](const FakeSnmpManager::Request& r, SnmpVarBindList& binds) {
            binds[0].value = FakeSnmpManager::Text("spoofed");
            if (r.type == spoofed) {
                ParseOidText(".1.3.6.1.2.1.1.4.0", binds[0].name);
            }
            return SnmpRequestResult{true, 0, 0, 0};
        };
        EXPECT_EQ(Get(), get);
        EXPECT_EQ(Set(), set);
    }
}

// A SET sends the type its GET reported, over one session with the write
// community; a GET uses the read community, the given time-out, retries and
// index; every session opened is closed.
TEST_F(SnmpFailureTexts, SetSendsTheTypeTheGetReportedWithTheWriteCommunity) {
    const std::string oid = ".1.3.6.1.2.1.1.5.0";
    snmp.values[oid] = FakeSnmpManager::Integer(0);
    EXPECT_EQ(doc.SetSnmpValue(kIp, "OidSysName", "-12"), "NoneNoneNone");
    EXPECT_EQ(snmp.values[oid].integer, -12);
    EXPECT_EQ(doc.SetSnmpValue(kIp, "OidSysName", "abc"), "NoneNoneNone");
    EXPECT_EQ(snmp.values[oid].integer, 0);
    snmp.values[oid] = FakeSnmpManager::Text("old");
    EXPECT_EQ(doc.SetSnmpValue(kIp, "OidSysName", "new"), "NoneNoneNone");
    EXPECT_EQ(snmp.values[oid].octets, std::vector<std::uint8_t>({'n', 'e', 'w'}));
    auto requests = snmp.Requests();
    EXPECT_EQ(requests[requests.size() - 2].type, SnmpPduType::Get);
    EXPECT_EQ(requests.back().type, SnmpPduType::Set);
    EXPECT_EQ(requests.back().community, "private");
    SnmpValue counter = FakeSnmpManager::Integer(7);
    counter.type = asn::kCounter;
    snmp.values[oid] = counter;
    EXPECT_EQ(Set(), "ASNTypeNotOctetOrIntError");

    snmp.values[oid + ".3"] = FakeSnmpManager::Text("third");
    EXPECT_EQ(doc.GetSnmpValue(kIp, "OidSysName", 3, 200, 2), "third");
    EXPECT_EQ(snmp.Requests().back().community, "public");
    EXPECT_EQ(snmp.Opens().back().timeoutMs, 200);
    EXPECT_EQ(snmp.Opens().back().retries, 2);
    EXPECT_EQ(static_cast<int>(snmp.Opens().size()), snmp.Closes());
}

}  // namespace
