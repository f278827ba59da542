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

// The older model is read through its own section, with OID names in "OID"
// again afterwards; a "1" for the date from another product is its date.
TEST_F(Refresh, EachProductIsReadThroughItsOwnSection) {
    Register({.ip = "127.0.0.22",
              .name = "OLD",
              .sysObjectID = FakeTerminal::kOlderModel,
              .modDate = "2019-04-01",
              .build = "2200-17",
              .platform = "P-OLD"});
    Register({.ip = "127.0.0.23", .name = "ODD", .sysObjectID = ".1.3.6.1.4.1.99.7"});
    snmp.agents["127.0.0.23"][".1.3.6.1.4.1.99.7.1.1.0"] = FakeSnmpManager::Text("1");
    RefreshAndValidateTerminals(t.Doc());
    std::vector<std::string> read;
    for (const auto& r : DatabaseRecords(t.Terminals())) {
        read.push_back(r.m_modDate + "|" + r.m_buildNum + "|" + r.m_platForm + "|" +
                       r.m_customField2 + "|" + r.m_contact);
    }
    EXPECT_EQ(read, (std::vector<std::string>{"2019-04-01|2200-17|P-OLD|c2|admin", "1||||"}));
    EXPECT_EQ(t.State().OidSection().Get(), "OID");
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
