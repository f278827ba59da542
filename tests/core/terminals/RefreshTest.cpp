#include <gtest/gtest.h>

#include <atomic>

#include "FakeTerminals.h"
#include "TestDocument.h"
#include "core/common/Sentinel.h"
#include "core/terminals/RefreshTerminals.h"
#include "core/terminals/TerminalDatabase.h"

namespace {

struct Refresh : ::testing::Test {
    FakeSnmpManager snmp;
    TestDocument t{DefaultSettingsWith(), &snmp};

    void Register(const FakeTerminal& terminal) {
        AddFakeTerminal(snmp, terminal);
        ASSERT_TRUE(t.Doc().RegisterTerminal(terminal.ip));
    }
};

TEST_F(Refresh, ReadsEveryFieldOfACurrentTerminal) {
    Register({.ip = "127.0.0.21", .name = "ALPHA"});
    RefreshAndValidateTerminals(t.Doc());
    auto r = DatabaseRecords(t.Terminals()).at(0);
    EXPECT_EQ(r.m_contact, "admin");
    EXPECT_EQ(r.m_modDate, "2026-11-30");
    EXPECT_EQ(r.m_buildNum, "4711");
    EXPECT_EQ(r.m_platForm, "PX-4");
    EXPECT_EQ(r.m_customField1, "c1");
    EXPECT_EQ(r.m_customField3, "c3");
    EXPECT_EQ(r.m_macAdr, "00806412ABCD");
}

TEST_F(Refresh, RemovesTerminalsThatRenamedThemselvesOrFellSilent) {
    Register({.ip = "127.0.0.21", .name = "ALPHA", .mac = "0080641200AA"});
    Register({.ip = "127.0.0.22", .name = "BETA", .mac = "0080641200BB"});
    Register({.ip = "127.0.0.23", .name = "GAMMA", .mac = "0080641200CC"});
    AddFakeTerminal(snmp, {.ip = "127.0.0.21", .name = "ALPHA-RENAMED", .mac = "0080641200AA"});
    snmp.silentAgents.insert("127.0.0.23");
    RefreshAndValidateTerminals(t.Doc());
    auto records = DatabaseRecords(t.Terminals());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].m_name, "BETA");
    // The kept terminal's name was read once at registration and twice by the
    // refresh (the check, then the field); a removed one only for the check.
    EXPECT_EQ(snmp.GetCount("127.0.0.22", ".1.3.6.1.2.1.1.5.0"), 1 + 2);
    EXPECT_EQ(snmp.GetCount("127.0.0.21", ".1.3.6.1.2.1.1.5.0"), 1 + 1);
}

TEST_F(Refresh, ATerminalRenamedWhileItIsReadEndsAsOneRecordUnderItsNewName) {
    const std::string ip = "127.0.0.24", sysName = ".1.3.6.1.2.1.1.5.0";
    Register({.ip = ip, .name = "OLD", .mac = "0080641200DD"});
    // Between the refresh's check of the name and its reading of the fields,
    // the terminal renames itself and another thread registers it anew.
    std::atomic<int> nameReads{0};
    snmp.beforeAnswer = [&](const FakeSnmpManager::Request& request) {
        if (request.agent == ip && OidToText(request.bindings.at(0).name) == sysName &&
            ++nameReads == 2) {
            snmp.SetAgentValue(ip, sysName, FakeSnmpManager::Text("NEW"));
            t.Doc().RegisterTerminal(ip);
        }
    };
    RefreshAndValidateTerminals(t.Doc());
    snmp.beforeAnswer = nullptr;
    auto records = DatabaseRecords(t.Terminals());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].m_name, "NEW");
    RefreshAndValidateTerminals(t.Doc());
    EXPECT_EQ(DatabaseRecords(t.Terminals()).size(), 1u);
}

TEST_F(Refresh, TwoTerminalsOfOneNameKeepTheirOwnData) {
    Register({.ip = "127.0.0.21", .name = "SAME", .location = "North", .mac = "0080641200AA"});
    Register({.ip = "127.0.0.22", .name = "SAME", .location = "South", .mac = "0080641200BB"});
    RefreshAndValidateTerminals(t.Doc());
    auto a = t.Terminals().FindByRow("0080641200AA", "SAME");
    auto b = t.Terminals().FindByRow("0080641200BB", "SAME");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->record.m_location, "North");
    EXPECT_EQ(b->record.m_location, "South");
}

TEST_F(Refresh, TheOlderModelIsReadThroughItsOwnSection) {
    Register({.ip = "127.0.0.22",
              .name = "OLD",
              .sysObjectID = FakeTerminal::kOlderModel,
              .modDate = "2019-04-01",
              .build = "2200-17",
              .platform = "P-OLD"});
    RefreshAndValidateTerminals(t.Doc());
    auto r = DatabaseRecords(t.Terminals()).at(0);
    EXPECT_EQ(r.m_modDate, "2019-04-01");
    EXPECT_EQ(r.m_buildNum, "2200-17");
    EXPECT_EQ(r.m_platForm, "P-OLD");
    EXPECT_EQ(r.m_customField2, "c2");
    EXPECT_EQ(t.State().OidSection().Get(), "OID");
}

TEST_F(Refresh, AOneFromAProductWithout2200InItsSectionNameStays) {
    // A product answering "1" for its modification date whose section lacks 2200.
    FakeTerminal odd{.ip = "127.0.0.23", .name = "ODD", .sysObjectID = ".1.3.6.1.4.1.99.7"};
    Register(odd);
    snmp.agents["127.0.0.23"][".1.3.6.1.4.1.99.7.1.1.0"] = FakeSnmpManager::Text("1");
    RefreshAndValidateTerminals(t.Doc());
    auto r = DatabaseRecords(t.Terminals()).at(0);
    EXPECT_EQ(r.m_modDate, "1");
    EXPECT_EQ(r.m_buildNum, "");
    EXPECT_EQ(r.m_contact, "");
}

TEST(TerminalDatabaseWalk, RemovingTheCurrentRecordNeitherSkipsNorRepeats) {
    TerminalDatabase db;
    for (const char* name : {"a", "b", "c", "d"}) {
        db.Append(TerminalRecord{.m_name = name});
    }
    std::string visited;
    for (auto e = db.First(); e; e = db.Next(e->position)) {
        visited += e->record.m_name;
        if (e->record.m_name == "b") {
            db.Remove(*e);
            // Another thread appends meanwhile; the walk reaches it too.
            db.Append(TerminalRecord{.m_name = "e"});
        }
        if (e->record.m_name == "c") {
            auto d = db.Next(e->position);
            db.Remove(*d);  // the next record goes before the walk gets there
        }
    }
    EXPECT_EQ(visited, "abce");
    EXPECT_EQ(db.Count(), 3u);
}

TEST(TerminalDatabaseWalk, AReplacedRecordIsNotUpdatedWithTheOldOnesReads) {
    TerminalDatabase db;
    db.Append(TerminalRecord{.m_ip = "127.0.0.1", .m_name = "a", .m_macAdr = "1"});
    auto before = *db.First();
    db.ReplaceSameTerminalOrAppend(
        TerminalRecord{.m_ip = "127.0.0.2", .m_name = "a", .m_macAdr = "1"});
    TerminalRecord stale = before.record;
    stale.m_contact = "stale";
    EXPECT_FALSE(db.Update(before, stale));
    EXPECT_FALSE(db.Remove(before));
    EXPECT_EQ(db.First()->record.m_ip, "127.0.0.2");
    EXPECT_EQ(db.First()->position, before.position);
}

}  // namespace
