#include <gtest/gtest.h>

#include "FakeTerminals.h"
#include "TestDocument.h"
#include "core/terminals/TerminalDatabase.h"

namespace {

struct Registration : ::testing::Test {
    FakeSnmpManager snmp;
    std::unique_ptr<TestDocument> t;

    // Rewrites the settings file; the document reads it again at its next use.
    void Settings(const std::string& extraMisc) {
        WriteTextFile(t->SettingsPath(), DefaultSettingsWith(extraMisc));
    }
    void SetUp() override { t = std::make_unique<TestDocument>(DefaultSettingsWith(), &snmp); }
    CTarnDoc& Doc() { return t->Doc(); }
};

TEST_F(Registration, RecordsTheIdentityFieldsAndResolvesEnterpriseNames) {
    AddFakeTerminal(snmp, {.ip = "127.0.0.21", .name = "ALPHA", .ethernetAt = 2});
    EXPECT_TRUE(Doc().RegisterTerminal("127.0.0.21"));
    auto records = DatabaseRecords(t->Terminals());
    ASSERT_EQ(records.size(), 1u);
    const TerminalRecord& r = records[0];
    EXPECT_EQ(r.m_ip, "127.0.0.21");
    EXPECT_EQ(r.m_entPrefix, ".1.3.6.1.4.1.32473.10");
    EXPECT_EQ(r.m_name, "ALPHA");
    EXPECT_EQ(r.m_version, "Thin client");
    EXPECT_EQ(r.m_location, "Lab");
    EXPECT_EQ(r.m_macAdr, "00806412ABCD");
    EXPECT_EQ(r.m_contact, "");  // left for the refresh
    // Enterprise names now resolve under the product's prefix, product-specific ones too.
    EXPECT_EQ(Doc().GetSnmpValue("127.0.0.21", "EntOidBuildNum"), "4711");
    EXPECT_EQ(Doc().GetSnmpValue("127.0.0.21", "EntOidPlatForm"), "PX-4");
    EXPECT_EQ(Doc().GetProductSection("127.0.0.21"), "T400");
    EXPECT_FALSE(Doc().IsModel2200("127.0.0.21"));
    EXPECT_TRUE(t->Messages().Texts().empty()) << t->Messages().Texts()[0];
}

TEST_F(Registration, DisplayProductMasksFilterByGroup) {
    // The current model is in group 1, the older in group 2; "x" entries give the groups.
    AddFakeTerminal(snmp, {.ip = "127.0.0.21", .name = "NEW"});
    AddFakeTerminal(snmp,
                    {.ip = "127.0.0.22", .name = "OLD", .sysObjectID = FakeTerminal::kOlderModel});
    AddFakeTerminal(snmp, {.ip = "127.0.0.23", .name = "ODD", .sysObjectID = ".1.3.6.1.4.1.99.7"});
    Settings("DisplayProduct=5\n");
    EXPECT_TRUE(Doc().RegisterTerminal("127.0.0.21"));   // 5 & 1
    EXPECT_FALSE(Doc().RegisterTerminal("127.0.0.22"));  // 5 & 2 = 0
    EXPECT_FALSE(Doc().RegisterTerminal("127.0.0.23"));  // no "x" entry
    Settings("DisplayProduct=0\n");
    EXPECT_TRUE(Doc().RegisterTerminal("127.0.0.22"));
    EXPECT_TRUE(Doc().RegisterTerminal("127.0.0.23"));
    EXPECT_EQ(t->Terminals().Count(), 3u);
}

TEST_F(Registration, AnUnknownProductUsesItsOwnIdAsPrefixAndSectionOther) {
    AddFakeTerminal(snmp, {.ip = "127.0.0.23", .name = "ODD", .sysObjectID = ".1.3.6.1.4.1.99.7"});
    EXPECT_TRUE(Doc().RegisterTerminal("127.0.0.23"));
    EXPECT_EQ(DatabaseRecords(t->Terminals())[0].m_entPrefix, ".1.3.6.1.4.1.99.7");
    EXPECT_EQ(Doc().GetProductSection("127.0.0.23"), "OTHER");
    // OTHER marks the platform object as missing: no request goes out for it.
    EXPECT_EQ(Doc().GetSnmpValue("127.0.0.23", "EntOidPlatForm"), "N/A");
}

TEST_F(Registration, TheSameTerminalAtTheSameAddressIsNotAddedTwice) {
    AddFakeTerminal(snmp, {.ip = "127.0.0.21", .name = "ALPHA"});
    EXPECT_TRUE(Doc().RegisterTerminal("127.0.0.21"));
    int namesBefore = snmp.GetCount("127.0.0.21", ".1.3.6.1.2.1.1.5.0");
    EXPECT_FALSE(Doc().RegisterTerminal("127.0.0.21"));
    EXPECT_EQ(snmp.GetCount("127.0.0.21", ".1.3.6.1.2.1.1.5.0"), namesBefore + 1);
    EXPECT_EQ(t->Terminals().Count(), 1u);
}

TEST_F(Registration, AMovedTerminalKeepsItsPositionAtItsNewAddress) {
    AddFakeTerminal(snmp, {.ip = "127.0.0.21", .name = "ALPHA", .mac = "0080641200AA"});
    AddFakeTerminal(snmp, {.ip = "127.0.0.22", .name = "BETA", .mac = "0080641200BB"});
    ASSERT_TRUE(Doc().RegisterTerminal("127.0.0.21"));
    ASSERT_TRUE(Doc().RegisterTerminal("127.0.0.22"));
    // ALPHA now answers at another address.
    snmp.agents.erase("127.0.0.21");
    AddFakeTerminal(snmp, {.ip = "127.0.0.31", .name = "ALPHA", .mac = "0080641200AA"});
    EXPECT_TRUE(Doc().RegisterTerminal("127.0.0.31"));
    auto records = DatabaseRecords(t->Terminals());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].m_name, "ALPHA");
    EXPECT_EQ(records[0].m_ip, "127.0.0.31");
    EXPECT_EQ(records[1].m_name, "BETA");
}

TEST_F(Registration, ANewNameAtAKnownAddressIsAppendedBesideTheStaleRecord) {
    AddFakeTerminal(snmp, {.ip = "127.0.0.21", .name = "ALPHA", .mac = "0080641200AA"});
    ASSERT_TRUE(Doc().RegisterTerminal("127.0.0.21"));
    AddFakeTerminal(snmp, {.ip = "127.0.0.21", .name = "GAMMA", .mac = "0080641200CC"});
    EXPECT_TRUE(Doc().RegisterTerminal("127.0.0.21"));
    EXPECT_EQ(t->Terminals().Count(), 2u);
}

TEST_F(Registration, MacAddressesComeFromTheFirstEthernetEntryOfTheInterfaceTable) {
    AddFakeTerminal(snmp, {.ip = "127.0.0.21",
                           .name = "THIRD",
                           .mac = "0080641203CD",
                           .interfaces = 4,
                           .ethernetAt = 3});
    EXPECT_EQ(Doc().GetMacAddress("127.0.0.21"), "0080641203CD");
    AddFakeTerminal(snmp, {.ip = "127.0.0.22", .name = "NOETH", .ethernetAt = 0});
    EXPECT_EQ(Doc().GetMacAddress("127.0.0.22"), "EtherNetMacAdrTypeNotFoundError");
    AddFakeTerminal(snmp, {.ip = "127.0.0.23", .name = "NOTABLE", .interfaces = 0});
    EXPECT_EQ(Doc().GetMacAddress("127.0.0.23"), "NoInterFaceTableError");
    snmp.silentAgents.insert("127.0.0.24");
    EXPECT_EQ(Doc().GetMacAddress("127.0.0.24"), "NoInterFaceTableError");
}

TEST_F(Registration, AnAddressThatStopsAnsweringCostsOneTimeOut) {
    // The first object that gets no answer, the requests sent, whether registered.
    for (auto [silentFrom, requests, registered] :
         {std::tuple{".1.3.6.1.2.1.1.2.0", 1u, false}, std::tuple{".1.3.6.1.2.1.1.5.0", 2u, false},
          std::tuple{".1.3.6.1.2.1.1.6.0", 4u, true},
          std::tuple{".1.3.6.1.2.1.2.2.1.3.1", 6u, true}}) {  // the first interface row
        t->Terminals().Clear();
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
        ASSERT_EQ(t->Terminals().Count(), registered ? 1u : 0u) << silentFrom;
        if (registered) {
            EXPECT_EQ(DatabaseRecords(t->Terminals())[0].m_macAdr,
                      "Get Get - The request timed-out - SnmpMgrRequestGETError");
        }
    }
}

TEST_F(Registration, TwoTerminalsOfOneNameWithoutEthernetCountAsOne) {
    AddFakeTerminal(snmp, {.ip = "127.0.0.21", .name = "TWIN", .ethernetAt = 0});
    AddFakeTerminal(snmp, {.ip = "127.0.0.22", .name = "TWIN", .ethernetAt = 0});
    EXPECT_TRUE(Doc().RegisterTerminal("127.0.0.21"));
    EXPECT_TRUE(Doc().RegisterTerminal("127.0.0.22"));
    auto records = DatabaseRecords(t->Terminals());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].m_ip, "127.0.0.22");
}

TEST_F(Registration, AProductKeyWithoutPrefixOrSectionIsReported) {
    AddFakeTerminal(snmp, {.ip = "127.0.0.21", .name = "ALPHA"});
    // Point the current model at a product key that has neither prefix nor section.
    WriteTextFile(t->SettingsPath(),
                  "[Misc]\nDisplayProduct=0\n[SysObjID]\n.1.3.6.1.4.1.32473.1.400=LOST\n"
                  "[OID]\nOidSysObjID=.1.3.6.1.2.1.1.2.0\nOidSysName=.1.3.6.1.2.1.1.5.0\n");
    EXPECT_EQ(Doc().ResolveEnterprisePrefix(".1.3.6.1.4.1.32473.1.400"), "GetINIValueStrError");
    EXPECT_EQ(Doc().GetProductSection("127.0.0.21"), "GetINIValueStrError");
    EXPECT_EQ(t->Messages().Texts(),
              (std::vector<std::string>{"GetINIValueStr:SysObjID:LOST:Not Found",
                                        "GetINIValueStr:PSectXlate:LOST:Not Found"}));
}

}  // namespace
