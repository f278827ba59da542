#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "FakeTerminals.h"
#include "Recorders.h"
#include "TestDocument.h"
#include "core/common/Sentinel.h"
#include "core/terminals/RefreshTerminals.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/terminals/TerminalInfo.h"

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
// again afterwards (its values: tests/e2e); a "1" for the date from another
// product is its date.
TEST_F(Refresh, EachProductIsReadThroughItsOwnSection) {
    Register({.ip = "127.0.0.22", .name = "OLD", .sysObjectID = FakeTerminal::kOlderModel});
    Register({.ip = "127.0.0.23", .name = "ODD", .sysObjectID = ".1.3.6.1.4.1.99.7"});
    snmp.agents["127.0.0.23"][".1.3.6.1.4.1.99.7.1.1.0"] = FakeSnmpManager::Text("1");
    RefreshAndValidateTerminals(t.Doc());
    std::vector<std::string> read;
    for (const auto& r : DatabaseRecords(t.Terminals())) {
        read.push_back(r.m_modDate + "|" + r.m_buildNum + "|" + r.m_contact);
    }
    EXPECT_EQ(read, (std::vector<std::string>{"2026-11-30|4711|admin", "1||"}));
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

// A single-column list box at screen (100, 200), 20-pixel rows, 4.5 rows visible.
class FakeListBox final : public IListBoxGeometry {
public:
    int count = 3;
    int top = 0;
    int ItemCount() const override { return count; }
    int TopIndex() const override { return top; }
    PixelRect WindowRect() const override { return {100, 200, 300, 290}; }
    PixelRect ClientRect() const override { return {0, 0, 200, 90}; }
    PixelRect ItemRect(int index) const override {
        int y = (index - top) * 20;
        return {0, y, 200, y + 20};
    }
    bool IsMultiColumn() const override { return false; }
};

TEST(ListItemFromPoint, FindsTheItemUnderThePointOrTheLastOneAboveIt) {
    FakeListBox box;
    bool outside = true;
    EXPECT_EQ(ListItemFromPoint(150, 225, outside, box), 1);
    EXPECT_FALSE(outside);
    // Below the last item, still inside the list: the last item above the click.
    EXPECT_EQ(ListItemFromPoint(150, 285, outside, box), 2);
    EXPECT_FALSE(outside);
    // Left of the list: outside, clamped onto the left edge.
    EXPECT_EQ(ListItemFromPoint(90, 205, outside, box), 0);
    EXPECT_TRUE(outside);
    // Scrolled: the first visible item is 2; item 6 (rows 80 to 100) is partly
    // out of view at the bottom and still counts while its top-left corner is
    // visible; item 7 is wholly out of view.
    box.count = 8;
    box.top = 2;
    EXPECT_EQ(ListItemFromPoint(150, 205, outside, box), 2);
    EXPECT_EQ(ListItemFromPoint(150, 289, outside, box), 6);
    EXPECT_FALSE(outside);
    EXPECT_EQ(ListItemFromPoint(150, 295, outside, box), 6);
    EXPECT_TRUE(outside);
    box.top = 8;
    EXPECT_EQ(ListItemFromPoint(150, 205, outside, box), -1);
    box.count = 0;
    EXPECT_EQ(ListItemFromPoint(150, 205, outside, box), 0);
    EXPECT_TRUE(outside);
}

TEST(ShowTerminalInfo, ShowsTheRowsOwnRecordByNameAndMac) {
    TestDocument t("[Misc]\n");
    MacByItemTable macByItem;
    t.Doc().ShowTerminalInfo(macByItem, "ANY", 0);
    EXPECT_EQ(t.Messages().Texts().back(), "Something is Very Wrong Right Mouse Info");
    EXPECT_EQ(t.Messages().Icons().back(), MessageIcon::Warning);

    TerminalRecord a{.m_entPrefix = ".1",
                     .m_ip = "127.0.0.21",
                     .m_name = "SAME",
                     .m_version = "v",
                     .m_buildNum = "b",
                     .m_modDate = "m",
                     .m_macAdr = "AA",
                     .m_platForm = "p",
                     .m_location = "l",
                     .m_contact = "c",
                     .m_customField1 = "1",
                     .m_customField2 = "2",
                     .m_customField3 = "3"};
    TerminalRecord b = a;
    b.m_ip = "127.0.0.22";
    b.m_macAdr = "BB";
    t.Terminals().Append(a);
    t.Terminals().Append(b);
    macByItem.Assign({"AA", "BB"});

    t.Doc().ShowTerminalInfo(macByItem, "SAME", 1);
    EXPECT_EQ(t.Messages().Texts().back(),
              "Name:\t\tSAME\n\nVersion:\t\tv\n\nLocation:\t\tl\n\nContact:\t\tc\n\n"
              "CustomField1:\t1\n\nCustomField2:\t2\n\nCustomField3:\t3\n\nBuild#:\t\tb\n\n"
              "ModDate:\t\tm\n\nIP Address:\t127.0.0.22\n\nMAC Address:\tBB\n\n"
              "Platform:\t\tp\n\n");
    EXPECT_EQ(t.Messages().Icons().back(), MessageIcon::Information);
    // A row the table does not know yet (registered after the last refresh).
    t.Doc().ShowTerminalInfo(macByItem, "SAME", 2);
    EXPECT_EQ(t.Messages().Texts().back(), "");
    t.Terminals().Clear();
}

TEST(TerminalConcurrency, DoubleRegistrationsAndRenamesWhileRefreshRemovesRecords) {
    FakeSnmpManager snmp;
    TestDocument t(DefaultSettingsWith(), &snmp);
    // Even terminals keep their names; odd ones keep renaming themselves, so
    // refreshes remove their records while registrations put them back. Two
    // threads register every terminal, so each is registered twice at once.
    const int kTerminals = 20;
    auto ip = [](int i) { return "127.0.1." + std::to_string(i + 1); };
    auto mac = [](int i) {
        char text[13];
        std::snprintf(text, sizeof(text), "0080641200%02X", i);
        return std::string(text);
    };
    for (int i = 0; i < kTerminals; ++i) {
        AddFakeTerminal(snmp, {.ip = ip(i), .name = "T" + std::to_string(i), .mac = mac(i)});
    }
    std::map<int, std::string> finalNames;
    std::atomic<bool> renaming{true};
    std::thread renamer([&] {
        for (int round = 0; renaming; ++round) {
            for (int i = 1; i < kTerminals; i += 2) {
                std::string name = "T" + std::to_string(i) + "-" + std::to_string(round % 3);
                snmp.SetAgentValue(ip(i), ".1.3.6.1.2.1.1.5.0", FakeSnmpManager::Text(name));
                finalNames[i] = name;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
    auto registerAll = [&] {
        for (int round = 0; round < 8; ++round) {
            for (int i = 0; i < kTerminals; ++i) {
                t.Doc().RegisterTerminal(ip(i));
            }
        }
    };
    std::thread first(registerAll);
    std::thread second(registerAll);
    for (int round = 0; round < 8; ++round) {
        RefreshAndValidateTerminals(t.Doc(), {}, round % 2 ? 8 : 1);
    }
    first.join();
    second.join();
    renaming = false;
    renamer.join();

    // Once the names stay put, a refresh drops the stale names and one more
    // registration brings back the renamed: every terminal is there once,
    // under the name it has now, however the race went.
    RefreshAndValidateTerminals(t.Doc());
    for (int i = 0; i < kTerminals; ++i) {
        t.Doc().RegisterTerminal(ip(i));
    }
    std::map<std::string, std::string> byMac;
    for (const auto& entry : t.Terminals().Entries()) {
        EXPECT_TRUE(byMac.emplace(entry.record.m_macAdr, entry.record.m_name).second)
            << "twice: " << entry.record.m_name << " " << entry.record.m_macAdr;
    }
    ASSERT_EQ(byMac.size(), static_cast<std::size_t>(kTerminals));
    for (int i = 0; i < kTerminals; ++i) {
        EXPECT_EQ(byMac[mac(i)], i % 2 ? finalNames[i] : "T" + std::to_string(i));
    }
    t.Terminals().Clear();
}

TEST(RefreshConcurrency, ReadingAheadChangesNothingButTheTime) {
    FakeSnmpManager snmp;
    // Every read of the third custom field reports its missing name.
    std::string settings = DefaultSettingsWith();
    settings.erase(settings.find("EntOidCustomField3="), 26);
    TestDocument t(settings, &snmp);
    snmp.delay = std::chrono::milliseconds(2);
    for (int i = 0; i < 40; ++i) {
        std::string ip = "127.0.2." + std::to_string(i + 1);
        char mac[13];
        std::snprintf(mac, sizeof(mac), "0080641300%02X", i);
        AddFakeTerminal(snmp, {.ip = ip,
                               .name = "T" + std::to_string(i),
                               .sysObjectID = i % 5 == 3 ? FakeTerminal::kOlderModel
                                                         : FakeTerminal::kCurrentModel,
                               .mac = mac});
        ASSERT_TRUE(t.Doc().RegisterTerminal(ip));
        if (i % 7 == 2) {
            snmp.silentAgents.insert(ip);
        } else if (i % 9 == 4) {
            snmp.SetAgentValue(ip, ".1.3.6.1.2.1.1.5.0", FakeSnmpManager::Text("RENAMED"));
        }
    }
    const std::vector<TerminalRecord> registered = DatabaseRecords(t.Terminals());
    auto refresh = [&](long width) {
        t.Terminals().Clear();
        for (const auto& record : registered) {
            t.Terminals().Append(record);
        }
        t.Messages().Clear();
        RefreshAndValidateTerminals(t.Doc(), {}, width);
        return std::make_pair(DatabaseRecords(t.Terminals()), t.Messages().Texts());
    };
    auto oneByOne = refresh(1);
    EXPECT_EQ(snmp.MostInFlight(), 1);
    EXPECT_EQ(oneByOne.first.size(), 30u);
    EXPECT_EQ(oneByOne.second.size(), 30u);
    EXPECT_EQ(refresh(8), oneByOne);
    EXPECT_GT(snmp.MostInFlight(), 1);
}

}  // namespace
