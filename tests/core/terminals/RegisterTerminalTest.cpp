#include <gtest/gtest.h>

#include "FakeTerminals.h"
#include "TestDocument.h"
#include "core/terminals/RefreshTerminals.h"
#include "core/terminals/TerminalDatabase.h"

namespace {

struct Registration : ::testing::Test {
    FakeSnmpManager snmp;
    TestDocument t{DefaultSettingsWith(), &snmp};
    CTarnDoc& Doc() { return t.Doc(); }
    // "name@address" of each record, in order.
    std::vector<std::string> Records() {
        std::vector<std::string> records;
        for (const auto& r : DatabaseRecords(t.Terminals())) {
            records.push_back(r.m_name + "@" + r.m_ip);
        }
        return records;
    }
};

// Registration reads the identity; enterprise names then resolve under the
// product's prefix, product-specific ones too; the refresh reads the rest.
TEST_F(Registration, RecordsTheIdentityAndTheRefreshTheRest) {
    AddFakeTerminal(snmp, {.ip = "127.0.0.21", .name = "ALPHA"});
    EXPECT_TRUE(Doc().RegisterTerminal("127.0.0.21"));
    TerminalRecord r = DatabaseRecords(t.Terminals()).at(0);
    EXPECT_EQ(r.m_ip + "|" + r.m_entPrefix + "|" + r.m_name + "|" + r.m_version + "|" +
                  r.m_location + "|" + r.m_macAdr + "|" + r.m_contact,
              "127.0.0.21|.1.3.6.1.4.1.32473.10|ALPHA|Thin client|Lab|00806412ABCD|");
    EXPECT_EQ(Doc().GetSnmpValue("127.0.0.21", "EntOidBuildNum"), "4711");
    EXPECT_EQ(Doc().GetSnmpValue("127.0.0.21", "EntOidPlatForm"), "PX-4");
    EXPECT_EQ(Doc().GetProductSection("127.0.0.21"), "T400");
    EXPECT_FALSE(Doc().IsModel2200("127.0.0.21"));
    RefreshAndValidateTerminals(Doc());
    r = DatabaseRecords(t.Terminals()).at(0);
    EXPECT_EQ(r.m_contact + "|" + r.m_modDate + "|" + r.m_buildNum + "|" + r.m_platForm + "|" +
                  r.m_customField1 + "|" + r.m_customField3,
              "admin|2026-11-30|4711|PX-4|c1|c3");
    EXPECT_TRUE(t.Messages().Texts().empty()) << t.Messages().Texts()[0];
}

TEST_F(Registration, DisplayProductMasksAndUnknownProducts) {
    // The current model is in group 1, the older in group 2; "x" entries give the groups.
    AddFakeTerminal(snmp, {.ip = "127.0.0.21", .name = "NEW"});
    AddFakeTerminal(snmp,
                    {.ip = "127.0.0.22", .name = "OLD", .sysObjectID = FakeTerminal::kOlderModel});
    AddFakeTerminal(snmp, {.ip = "127.0.0.23", .name = "ODD", .sysObjectID = ".1.3.6.1.4.1.99.7"});
    WriteTextFile(t.SettingsPath(), DefaultSettingsWith("DisplayProduct=5\n"));
    EXPECT_TRUE(Doc().RegisterTerminal("127.0.0.21"));   // 5 & 1
    EXPECT_FALSE(Doc().RegisterTerminal("127.0.0.22"));  // 5 & 2 = 0
    EXPECT_FALSE(Doc().RegisterTerminal("127.0.0.23"));  // no "x" entry
    WriteTextFile(t.SettingsPath(), DefaultSettingsWith("DisplayProduct=0\n"));
    EXPECT_TRUE(Doc().RegisterTerminal("127.0.0.22"));
    EXPECT_TRUE(Doc().RegisterTerminal("127.0.0.23"));
    EXPECT_EQ(t.Terminals().Count(), 3u);
    // An unknown product: its own id as prefix, section OTHER, which marks the
    // platform object as missing, so no request goes out for it.
    EXPECT_EQ(t.Terminals().FindByIP("127.0.0.23")->record.m_entPrefix, ".1.3.6.1.4.1.99.7");
    EXPECT_EQ(Doc().GetProductSection("127.0.0.23"), "OTHER");
    EXPECT_EQ(Doc().GetSnmpValue("127.0.0.23", "EntOidPlatForm"), "N/A");
}

// Which registrations add a record, and what the database then holds.
TEST_F(Registration, OneRecordPerTerminalWhereverItAnswers) {
    struct Step {
        FakeTerminal terminal;
        bool added;
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
        std::vector<std::string> records;
    };
    const FakeTerminal alpha{.ip = "127.0.0.21", .name = "ALPHA", .mac = "0080641200AA"};
    const FakeTerminal beta{.ip = "127.0.0.22", .name = "BETA", .mac = "0080641200BB"};
    const Case cases[] = {
        {"the same terminal again", {{alpha, true}, {alpha, false}}, {"ALPHA@127.0.0.21"}},
        // Moved: it keeps its position at its new address.
        {"moved",
         {{alpha, true},
          {beta, true},
          {{.ip = "127.0.0.31", .name = "ALPHA", .mac = "0080641200AA"}, true}},
         {"ALPHA@127.0.0.31", "BETA@127.0.0.22"}},
        // A new name at a known address goes beside the stale record.
        {"renamed",
         {{alpha, true}, {{.ip = "127.0.0.21", .name = "GAMMA", .mac = "0080641200CC"}, true}},
         {"ALPHA@127.0.0.21", "GAMMA@127.0.0.21"}},
        // Without Ethernet, one name is one terminal.
        {"twins without Ethernet",
         {{{.ip = "127.0.0.21", .name = "TWIN", .ethernetAt = 0}, true},
          {{.ip = "127.0.0.22", .name = "TWIN", .ethernetAt = 0}, true}},
         {"TWIN@127.0.0.22"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        t.Terminals().Clear();
        snmp.agents.clear();
        for (const auto& step : c.steps) {
            AddFakeTerminal(snmp, step.terminal);
            EXPECT_EQ(Doc().RegisterTerminal(step.terminal.ip), step.added) << step.terminal.ip;
        }
        EXPECT_EQ(Records(), c.records);
    }
}

TEST_F(Registration, MacAddressesComeFromTheFirstEthernetEntryOfTheInterfaceTable) {
    AddFakeTerminal(snmp,
                    {.ip = "127.0.0.21", .mac = "0080641203CD", .interfaces = 4, .ethernetAt = 3});
    AddFakeTerminal(snmp, {.ip = "127.0.0.22", .ethernetAt = 0});
    AddFakeTerminal(snmp, {.ip = "127.0.0.23", .interfaces = 0});
    snmp.silentAgents.insert("127.0.0.24");
    EXPECT_EQ(Doc().GetMacAddress("127.0.0.21"), "0080641203CD");
    EXPECT_EQ(Doc().GetMacAddress("127.0.0.22"), "EtherNetMacAdrTypeNotFoundError");
    EXPECT_EQ(Doc().GetMacAddress("127.0.0.23"), "NoInterFaceTableError");
    EXPECT_EQ(Doc().GetMacAddress("127.0.0.24"), "NoInterFaceTableError");
}

TEST_F(Registration, AnAddressThatStopsAnsweringCostsOneTimeOut) {
    // The first object that gets no answer, the requests sent, whether registered.
    for (auto [silentFrom, requests, registered] :
         {std::tuple{".1.3.6.1.2.1.1.2.0", 1u, false}, std::tuple{".1.3.6.1.2.1.1.5.0", 2u, false},
          std::tuple{".1.3.6.1.2.1.1.6.0", 4u, true},
          std::tuple{".1.3.6.1.2.1.2.2.1.3.1", 6u, true}}) {  // the first interface row
        t.Terminals().Clear();
        snmp.silentAgents.clear();
        AddFakeTerminal(snmp, {.ip = "127.0.0.21", .name = "ALPHA", .interfaces = 1024});
        snmp.beforeAnswer = [&, silentFrom](const FakeSnmpManager::Request& r) {
            if (OidToText(r.bindings[0].name) == silentFrom) {
                snmp.silentAgents.insert(r.agent);
            }
        };
        std::size_t before = snmp.Requests().size();
        EXPECT_EQ(Doc().RegisterTerminal("127.0.0.21"), registered) << silentFrom;
        EXPECT_EQ(snmp.Requests().size() - before, requests) << silentFrom;
        ASSERT_EQ(t.Terminals().Count(), registered ? 1u : 0u) << silentFrom;
        if (registered) {
            EXPECT_EQ(DatabaseRecords(t.Terminals())[0].m_macAdr,
                      "Get Get - The request timed-out - SnmpMgrRequestGETError");
        }
    }
}

TEST_F(Registration, AProductKeyWithoutPrefixOrSectionIsReported) {
    AddFakeTerminal(snmp, {.ip = "127.0.0.21", .name = "ALPHA"});
    // Point the current model at a product key that has neither prefix nor section.
    WriteTextFile(t.SettingsPath(),
                  "[Misc]\nDisplayProduct=0\n[SysObjID]\n.1.3.6.1.4.1.32473.1.400=LOST\n"
                  "[OID]\nOidSysObjID=.1.3.6.1.2.1.1.2.0\nOidSysName=.1.3.6.1.2.1.1.5.0\n");
    EXPECT_EQ(Doc().ResolveEnterprisePrefix(".1.3.6.1.4.1.32473.1.400"), "GetINIValueStrError");
    EXPECT_EQ(Doc().GetProductSection("127.0.0.21"), "GetINIValueStrError");
    EXPECT_EQ(t.Messages().Texts(),
              (std::vector<std::string>{"GetINIValueStr:SysObjID:LOST:Not Found",
                                        "GetINIValueStr:PSectXlate:LOST:Not Found"}));
}

}  // namespace
