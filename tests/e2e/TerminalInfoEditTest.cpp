// Editing a terminal's name, location, contact and custom fields on the
// simulated fleet, through the core and through the command line; what the
// terminals hold afterwards is read with net-snmp's own snmpget.
#include <gtest/gtest.h>

#include "CliTestSupport.h"
#include "SimFleetProcess.h"
#include "TestDocument.h"
#include "core/common/ProgressNotice.h"
#include "core/terminals/RefreshTerminals.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/terminfo/TerminalInfoEditing.h"

namespace {

const std::string kA = "127.0.74.2", kB = "127.0.74.3", kLocked = "127.0.74.4";
const std::string kFleet =
    "[Fleet]\nDomainName=fleet.example\nContact=Desk\n"
    "[KIOSK-A]\nAddress=" +
    kA +
    "\nLocation=Lobby\nCustomField1=Asset 1\n"
    "[KIOSK-B]\nAddress=" +
    kB +
    "\nLocation=Hall\nCustomField1=Asset 2\n"
    "[LOCKED]\nAddress=" +
    kLocked +
    "\nLocation=Old place\nCustomField1=keep 1\n"
    "CustomField2=keep 2\nCustomField3=keep 3\nRefuseSetsOf=OidSysContact\n";

const std::string kName = ".1.3.6.1.2.1.1.5.0", kLocation = ".1.3.6.1.2.1.1.6.0",
                  kContact = ".1.3.6.1.2.1.1.4.0", kCustom = ".1.3.6.1.4.1.32473.10.1.";

void Replace(std::string& text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
}

class TerminalInfoEdit : public ::testing::Test {
protected:
    void SetUp() override {
        if (FindProgram("snmpget").empty()) {
            GTEST_SKIP() << "net-snmp's command-line tools are not installed";
        }
        fleet = std::make_unique<SimFleetProcess>(SimFleetProcess::Options{.fleet = kFleet});
        ASSERT_TRUE(fleet->Ready()) << fleet->Log();
        std::string settings = ReadTextFile(DefaultSettingsPath());
        Replace(settings, "[Misc]\n",
                "[Misc]\nSnmpPort=" + std::to_string(fleet->SnmpPort()) + "\nDiscoverParallel=8\n");
        Replace(settings, "\nDiscoverIPSubNet=\n", "\nDiscoverIPSubNet=127.0.74\n");
        Replace(settings, "\nDiscoverRangeHigh=254\n", "\nDiscoverRangeHigh=6\n");
        document = std::make_unique<TestDocument>(settings);
    }
    void TearDown() override { g_Terminals.Clear(); }

    void RegisterAll() {
        for (const auto& ip : {kA, kB, kLocked}) {
            ASSERT_TRUE(document->Doc().RegisterTerminal(ip)) << ip;
        }
    }
    TerminalEntry Record(const std::string& ip) { return *g_Terminals.FindByIP(ip); }
    SetTargetResult Set(const std::string& ip, const TerminalInfoTexts& texts,
                        BlankFields blanks = BlankFields::Ignore) {
        NoProgressNotice notice;
        return SetTargetInfo(document->Doc(), Record(ip), texts, blanks, {}, notice);
    }
    std::string Wire(const std::string& ip, const std::string& oid) {
        return SnmpGetText(fleet->At(ip), oid);
    }
    CliRun Cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--settings", document->SettingsPath()});
        return RunCliCaptured(args);
    }

    std::unique_ptr<SimFleetProcess> fleet;
    std::unique_ptr<TestDocument> document;
};

// Names are told apart exactly, and the terminal by its MAC address: another
// terminal's name is refused with nothing sent, the same name in other
// letters is taken.
TEST_F(TerminalInfoEdit, OnlyAnotherTerminalsExactNameIsADuplicate) {
    RegisterAll();
    struct Case {
        std::string name;
        SetTargetResult::Outcome outcome;
        std::string nameAfter, locationAfter;
    };
    const Case cases[] = {
        {"KIOSK-B", SetTargetResult::Outcome::DuplicateName, "KIOSK-A", "Lobby"},
        {"kiosk-b", SetTargetResult::Outcome::Complete, "kiosk-b", "Moved"},
    };
    for (const auto& c : cases) {
        SetTargetResult result = Set(kA, {.name = c.name, .location = "Moved"});
        EXPECT_EQ(result.outcome, c.outcome) << c.name << ": " << result.message;
        EXPECT_EQ(Wire(kA, kName), c.nameAfter);
        EXPECT_EQ(Wire(kA, kLocation), c.locationAfter);
        EXPECT_EQ(Record(kA).record.m_strName, c.nameAfter);
    }
}

TEST_F(TerminalInfoEdit, AnEmptiedFieldIsLeftUnderIgnoreAndClearedUnderSend) {
    RegisterAll();
    for (auto blanks : {BlankFields::Ignore, BlankFields::Send}) {
        bool send = blanks == BlankFields::Send;
        const std::string& ip = send ? kB : kA;
        std::string locationBefore = Record(ip).record.m_strLocation;
        SetTargetResult result = Set(ip, {.contact = "New desk"}, blanks);
        ASSERT_EQ(result.outcome, SetTargetResult::Outcome::Complete) << result.message;
        EXPECT_EQ(Wire(ip, kContact), "New desk");
        EXPECT_EQ(Wire(ip, kLocation), send ? "" : locationBefore);
        EXPECT_EQ(Wire(ip, kCustom + "4.0"), send ? "" : "Asset 1");
        EXPECT_EQ(Record(ip).record.m_strLocation, send ? "" : locationBefore);
        // The name is never sent empty.
        EXPECT_EQ(Wire(ip, kName), send ? "KIOSK-B" : "KIOSK-A");
    }
}

// A refused write ends the run: what came before stays written, on the
// terminal and in its record; what comes after is not sent.
TEST_F(TerminalInfoEdit, ARefusedContactLeavesNameAndLocationWrittenAndTheRestUntouched) {
    RegisterAll();
    TerminalRecord before = Record(kLocked).record;
    SetTargetResult result = Set(kLocked, {"FRONT", "Front door", "Guard", "n1", "n2", "n3"});
    EXPECT_EQ(result.outcome, SetTargetResult::Outcome::SetFailed);
    EXPECT_NE(result.message.find("Set - The requested operation tried to change a variable that "
                                  "was not allowed"),
              std::string::npos)
        << result.message;
    EXPECT_TRUE(result.written);
    EXPECT_EQ(Wire(kLocked, kName), "FRONT");
    EXPECT_EQ(Wire(kLocked, kLocation), "Front door");
    EXPECT_EQ(Wire(kLocked, kContact), "Desk");
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(Wire(kLocked, kCustom + std::to_string(3 + i) + ".0"),
                  "keep " + std::to_string(i));
    }
    TerminalRecord r = Record(kLocked).record;
    EXPECT_EQ(r.m_strName, "FRONT");
    EXPECT_EQ(r.m_strLocation, "Front door");
    EXPECT_EQ(r.m_strContact, before.m_strContact);
    EXPECT_EQ(r.m_strCustomField1, before.m_strCustomField1);
}

TEST_F(TerminalInfoEdit, ARenamedTerminalKeepsItsNewNameThroughARefresh) {
    RegisterAll();
    ASSERT_EQ(Set(kB, {.name = "RECEPTION"}).outcome, SetTargetResult::Outcome::Complete);
    RefreshAndValidateTerminals(document->Doc());
    ASSERT_EQ(g_Terminals.Count(), 3u);
    EXPECT_EQ(Record(kB).record.m_strName, "RECEPTION");
    EXPECT_EQ(Record(kB).record.m_strLocation, "Hall");
}

// The command line searches the terminals it is given, or else those that a
// discovery of the configured subnet finds, and prints values one line each.
TEST_F(TerminalInfoEdit, TheCommandLineRefusesDuplicatesFoundEitherWayAndPrintsTheTexts) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"set-info", kA, "--name", "KIOSK-B", "--among", kB, kLocked},
             {"set-info", kA, "--name", "KIOSK-B", "--location", "Moved"}}) {
        g_Terminals.Clear();
        CliRun run = Cli(args);
        EXPECT_EQ(run.code, 1) << run.err;
        EXPECT_EQ(run.err, "Duplicate Name Found, Please Select Another\n");
        EXPECT_EQ(Wire(kA, kLocation), "Lobby");
    }
    g_Terminals.Clear();
    CliRun set = Cli({"set-info", kA, "--name", "FRONT", "--location", "Row 1\nRow 2", "--among",
                      kB, "--field3", "x"});
    EXPECT_EQ(set.code, 0) << set.err;
    EXPECT_EQ(set.err, "Terminal Information Update Complete\n");
    CliRun get = Cli({"get-info", kA});
    EXPECT_EQ(get.code, 0) << get.err;
    EXPECT_EQ(get.out,
              "Name\tFRONT\nLocation\tRow 1\\nRow 2\nContact\tDesk\nCustom Field 1\tAsset 1\n"
              "Custom Field 2\t\nCustom Field 3\tx\n");
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"set-info", kA, "--among"},
                                               {"set-info", kA, "--name"},
                                               {"set-info", kA, "--name", "a", "--name", "b"},
                                               {"set-info", kA, "--colour", "red"},
                                               {"set-info", kA, "--field1", std::string(256, 'x')},
                                               {"get-info", "kiosk"}}) {
        EXPECT_EQ(Cli(args).code, 2) << args.back();
    }
}

}  // namespace
