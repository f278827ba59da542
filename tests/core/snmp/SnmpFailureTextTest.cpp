// Failure texts of GET and SET that a real agent cannot produce, through a
// scripted session layer.
#include <gtest/gtest.h>

#include "FakeSnmpManager.h"
#include "TestDocument.h"

namespace {

const char* const kSettings =
    "[OID]\n"
    "OidSysName=.1.3.6.1.2.1.1.5.0\n"
    "OidBroken=.1.3..6\n"
    "OidNotApplicable=Product\n"
    "EntOidBuildNum=.1.2.0\n"
    "[Product]\n"
    "OidNotApplicable=N/A\n";

const std::string kIp = "127.0.0.9";

struct SnmpFailureTexts : ::testing::Test {
    FakeSnmpManager snmp;
    TestDocument t{kSettings, &snmp};
    CTarnDoc& doc = t.Doc();

    void AnswerWith(SnmpRequestResult result) {
        snmp.answer = [result](const FakeSnmpManager::Request&, SnmpVarBindList&) {
            return result;
        };
    }
};

TEST_F(SnmpFailureTexts, OidsThatCannotBeFormedSendNothing) {
    EXPECT_EQ(doc.GetSnmpValue(kIp, "OidNotApplicable"), "N/A");
    EXPECT_EQ(doc.SetSnmpValue(kIp, "OidNotApplicable", "x"), "N/A");
    EXPECT_EQ(doc.GetSnmpValue(kIp, "OidBroken"),
              "Could not properly convert OID to object - GetSnmpMgrStrToOidError");
    EXPECT_EQ(doc.SetSnmpValue(kIp, "OidBroken", "x"),
              "Set - Could not properly convert OID to object - SetSnmpMgrStrToOidError");
    // An enterprise object of a terminal that is not in the terminal list.
    EXPECT_EQ(doc.GetSnmpValue(kIp, "EntOidBuildNum"),
              "Could not properly convert OID to object - GetSnmpMgrStrToOidError");
    EXPECT_EQ(doc.GetSnmpValue(kIp, "OidAbsent"),
              "Could not properly convert OID to object - GetSnmpMgrStrToOidError");
    snmp.allocateOk = false;
    EXPECT_EQ(doc.GetSnmpValue(kIp, "OidSysName"),
              "Get - Could not Allocate Variable Bindings - AllocatingBindError");
    EXPECT_EQ(doc.SetSnmpValue(kIp, "OidSysName", "x"),
              "Set - Could not Allocate Variable Bindings - AllocatingBindError");
    EXPECT_TRUE(snmp.Opens().empty());
}

TEST_F(SnmpFailureTexts, OpenFailures) {
    snmp.openOk = false;
    snmp.openFailureCode = 1;
    EXPECT_EQ(doc.GetSnmpValue(kIp, "OidSysName"),
              "Snmp Open - Memory Allocation Failure - SnmpMgrOpenError");
    snmp.openFailureCode = 1003;
    EXPECT_EQ(doc.GetSnmpValue(kIp, "OidSysName"),
              "Snmp Open - Unknown SnmpMgrOpen Function Error = 1003 - SnmpMgrOpenError");
    EXPECT_EQ(doc.SetSnmpValue(kIp, "OidSysName", "x"), "SnmpMgrOpenError");
    // The close is attempted after a failed open too.
    EXPECT_EQ(snmp.Closes(), 3);
    // Where closing a never-opened session fails, that text replaces the open text.
    snmp.closeOk = false;
    EXPECT_EQ(doc.GetSnmpValue(kIp, "OidSysName"), "SnmpMgrCloseError");
}

TEST_F(SnmpFailureTexts, RequestFailuresByCode) {
    AnswerWith({false, 40, 0, 0});
    EXPECT_EQ(doc.GetSnmpValue(kIp, "OidSysName"),
              "Get Get - The request timed-out - SnmpMgrRequestGETError");
    EXPECT_EQ(doc.SetSnmpValue(kIp, "OidSysName", "x"),
              "Set Get - The request timed-out - SnmpMgrRequestGETError");
    AnswerWith({false, 41, 0, 0});
    EXPECT_EQ(doc.GetSnmpValue(kIp, "OidSysName"),
              "Get Get - Unexpected error file descriptors indicated by the Windows Sockets "
              "select function - SnmpMgrRequestGETError");
    AnswerWith({false, 1012, 0, 0});
    EXPECT_EQ(doc.GetSnmpValue(kIp, "OidSysName"),
              "Get Get - Unknown SnmpMgrRequest Function Error = 1012 - SnmpMgrRequestGETError");
    EXPECT_EQ(doc.SetSnmpValue(kIp, "OidSysName", "x"),
              "Set Get - Unknown SnmpMgrRequest Function Error = 1012 - SnmpMgrRequestGETError");
}

TEST_F(SnmpFailureTexts, ASetWhoseOwnRequestFailsOrIsRefused) {
    snmp.values[".1.3.6.1.2.1.1.5.0"] = FakeSnmpManager::Text("old");
    auto setAnswer = [this](SnmpRequestResult onSet) {
        snmp.answer = [onSet](const FakeSnmpManager::Request& request, SnmpVarBindList& binds) {
            if (request.type == SnmpPduType::Get) {
                binds[0].value = FakeSnmpManager::Text("old");
                return SnmpRequestResult{true, 0, 0, 0};
            }
            return onSet;
        };
    };
    setAnswer({false, 40, 0, 0});
    EXPECT_EQ(doc.SetSnmpValue(kIp, "OidSysName", "x"),
              "Set Set - The request timed-out - SnmpMgrRequestSETError");
    setAnswer({false, 41, 0, 0});
    EXPECT_EQ(doc.SetSnmpValue(kIp, "OidSysName", "x"),
              "Set Set - Unexpected error file descriptors indicated by the Windows Sockets select "
              "function - SnmpMgrRequestSETError");
    setAnswer({true, 0, 4, 1});
    EXPECT_EQ(doc.SetSnmpValue(kIp, "OidSysName", "x"),
              "Set - The requested operation tried to change a variable that was not allowed to "
              "change according to the community profile of the variable - NoneNoneNone");
    setAnswer({true, 0, 17, 1});
    EXPECT_EQ(doc.SetSnmpValue(kIp, "OidSysName", "x"),
              "Set - SNMP_ERRORSTATUS_NOTWRITABLE - NoneNoneNone");
    setAnswer({true, 0, 19, 1});
    EXPECT_EQ(doc.SetSnmpValue(kIp, "OidSysName", "x"),
              "Set - Unknown SNMP Error Status = 19 - NoneNoneNone");
}

TEST_F(SnmpFailureTexts, AgentErrorStatusOfAGet) {
    AnswerWith({true, 0, 1, 1});
    EXPECT_EQ(doc.GetSnmpValue(kIp, "OidSysName"),
              "Get - The agent could not place the results of the requested operation into a "
              "single SNMP message - AgentErrorStatusError");
    AnswerWith({true, 0, 42, 1});
    EXPECT_EQ(doc.GetSnmpValue(kIp, "OidSysName"),
              "Get - Unknown SNMP Error Status = 42 - AgentErrorStatusError");
    snmp.closeOk = false;
    AnswerWith({true, 0, 5, 1});
    EXPECT_EQ(doc.GetSnmpValue(kIp, "OidSysName"),
              "Get - An error other than one of those listed here occurred during the requested "
              "operation - SnmpMgrCloseError");
}

TEST_F(SnmpFailureTexts, AnAnswerForAnotherObjectIsAnUnknownObject) {
    const std::string unknown = " - The requested operation identified an unknown variable - ";
    // The GETs, or only the SET, are answered with the contact object's binding.
    for (auto [spoofed, get, set] :
         {std::tuple{SnmpPduType::Get, "Get" + unknown + "AgentErrorStatusError",
                     "Set" + unknown + "AgentErrorStatusError"},
          std::tuple{SnmpPduType::Set, std::string("spoofed"), "Set" + unknown + "NoneNoneNone"}}) {
        snmp.answer = [spoofed](const FakeSnmpManager::Request& r, SnmpVarBindList& binds) {
            binds[0].value = FakeSnmpManager::Text("spoofed");
            if (r.type == spoofed) {
                ParseOidText(".1.3.6.1.2.1.1.4.0", binds[0].name);
            }
            return SnmpRequestResult{true, 0, 0, 0};
        };
        EXPECT_EQ(doc.GetSnmpValue(kIp, "OidSysName"), get);
        EXPECT_EQ(doc.SetSnmpValue(kIp, "OidSysName", "x"), set);
    }
}

TEST_F(SnmpFailureTexts, ConversionOfEachValueType) {
    const std::string oid = ".1.3.6.1.2.1.1.5.0";
    auto get = [&](SnmpValue value, const std::string& name = "OidSysName") {
        snmp.values[oid] = std::move(value);
        return doc.GetSnmpValue(kIp, name);
    };
    EXPECT_EQ(get(FakeSnmpManager::Integer(-5)), "-5");
    EXPECT_EQ(get(FakeSnmpManager::Oid(".1.3.6.1.4.1.9")), ".1.3.6.1.4.1.9");
    EXPECT_EQ(get(FakeSnmpManager::Text(std::string(300, 'z'))), std::string(254, 'z'));
    EXPECT_EQ(get(FakeSnmpManager::Text(std::string("ab\0cd", 5))), "ab");
    SnmpValue counter;
    counter.type = asn::kCounter;
    counter.integer = 7;
    EXPECT_EQ(get(counter), "GetNotOctStrOrIntegerError");
    EXPECT_EQ(doc.SetSnmpValue(kIp, "OidSysName", "1"), "ASNTypeNotOctetOrIntError");
}

TEST_F(SnmpFailureTexts, SetSendsTheTypeTheGetReported) {
    const std::string oid = ".1.3.6.1.2.1.1.5.0";
    snmp.values[oid] = FakeSnmpManager::Integer(0);
    EXPECT_EQ(doc.SetSnmpValue(kIp, "OidSysName", "-12"), "NoneNoneNone");
    EXPECT_EQ(snmp.values[oid].integer, -12);
    EXPECT_EQ(doc.SetSnmpValue(kIp, "OidSysName", "abc"), "NoneNoneNone");
    EXPECT_EQ(snmp.values[oid].integer, 0);

    snmp.values[oid] = FakeSnmpManager::Text("old");
    EXPECT_EQ(doc.SetSnmpValue(kIp, "OidSysName", "new name"), "NoneNoneNone");
    EXPECT_EQ(snmp.values[oid].octets,
              std::vector<std::uint8_t>({'n', 'e', 'w', ' ', 'n', 'a', 'm', 'e'}));

    // Each call has its own session: GET and SET of one write go to one session
    // opened with the write community; a GET uses the read community.
    auto requests = snmp.Requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[requests.size() - 2].type, SnmpPduType::Get);
    EXPECT_EQ(requests.back().type, SnmpPduType::Set);
    EXPECT_EQ(requests.back().community, "private");
    doc.GetSnmpValue(kIp, "OidSysName");
    EXPECT_EQ(snmp.Requests().back().community, "public");
    EXPECT_EQ(static_cast<int>(snmp.Opens().size()), snmp.Closes());
}

TEST_F(SnmpFailureTexts, TimeOutsAndRetriesAndTheIndexSuffix) {
    snmp.values[".1.3.6.1.2.1.1.5.0.3"] = FakeSnmpManager::Text("third");
    EXPECT_EQ(doc.GetSnmpValue(kIp, "OidSysName", 3, 200, 2), "third");
    doc.GetSnmpValue(kIp, "OidSysName");
    doc.SetSnmpValue(kIp, "OidSysName", "x");
    auto opens = snmp.Opens();
    ASSERT_EQ(opens.size(), 3u);
    EXPECT_EQ(opens[0].timeoutMs, 200);
    EXPECT_EQ(opens[0].retries, 2);
    EXPECT_EQ(opens[1].timeoutMs, 2000);
    EXPECT_EQ(opens[1].retries, 3);
    EXPECT_EQ(opens[2].timeoutMs, 2000);
    EXPECT_EQ(opens[2].retries, 3);
    EXPECT_EQ(opens[1].port, 161u);
}

}  // namespace
