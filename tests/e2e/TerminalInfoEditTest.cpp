// Editing terminal information on the simulated fleet, through the core and
// the command line; the terminals are read back with net-snmp's snmpget.
#include <gtest/gtest.h>

#include "CliTestSupport.h"
#include "SimFleetProcess.h"
#include "TestDocument.h"
#include "core/common/ProgressNotice.h"
#include "core/terminals/RefreshTerminals.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/terminfo/TerminalInfoEditing.h"

namespace {

using Outcome = SetTargetResult::Outcome;
const std::string kA = "127.0.74.2", kB = "127.0.74.3", kLocked = "127.0.74.4";
const std::string kName = ".1.3.6.1.2.1.1.5.0", kLocation = ".1.3.6.1.2.1.1.6.0",
                  kContact = ".1.3.6.1.2.1.1.4.0", kCustom = ".1.3.6.1.4.1.32473.10.1.";

class TerminalInfoEdit : public ::testing::Test {
protected:
    void SetUp() override {
        if (FindProgram("snmpget").empty()) {
            GTEST_SKIP() << "net-snmp's command-line tools are not installed";
        }
        fleet = std::make_unique<SimFleetProcess>(SimFleetProcess::Options{
            .fleet = "[Fleet]\nDomainName=fleet.example\nContact=Desk\n[KIOSK-A]\nAddress=" + kA +
                     "\nLocation=Lobby\nCustomField1=Asset 1\n[KIOSK-B]\nAddress=" + kB +
                     "\nLocation=Hall\n[LOCKED]\nAddress=" + kLocked +
                     "\nCustomField1=keep 1\nCustomField2=keep 2\nCustomField3=keep 3\n"
                     "RefuseSetsOf=OidSysContact\n"});
        ASSERT_TRUE(fleet->Ready()) << fleet->Log();
        std::string settings = ReadTextFile(ShippedSettingsPath());
        for (auto [from, to] : {std::pair<std::string, std::string>{
                                    "\nDiscoverIPSubNet=\n", "\nDiscoverIPSubNet=127.0.74\n"},
                                {"\nDiscoverRangeHigh=254\n", "\nDiscoverRangeHigh=6\n"},
                                {"[Misc]\n", "[Misc]\nDiscoverParallel=8\nSnmpPort=" +
                                                 std::to_string(fleet->SnmpPort()) + "\n"}}) {
            settings.replace(settings.find(from), from.size(), to);
        }
        document = std::make_unique<TestDocument>(settings);
        for (const auto& ip : {kA, kB, kLocked}) {
            ASSERT_TRUE(document->Doc().RegisterTerminal(ip)) << ip;
        }
    }
    TerminalRecord Record(const std::string& ip) {
        return document->Terminals().FindByIP(ip)->record;
    }
    SetTargetResult Set(const std::string& ip, const TerminalInfoTexts& texts,
                        BlankFields blanks = BlankFields::Ignore) {
        NoProgressNotice notice;
        return SetTargetInfo(document->Doc(), *document->Terminals().FindByIP(ip), texts, blanks,
                             {}, notice);
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

// Another terminal's exact name is refused with nothing sent; in other
// letters it is taken, and a refresh keeps the terminal under it.
TEST_F(TerminalInfoEdit, OnlyAnotherTerminalsExactNameIsADuplicate) {
    for (auto [name, outcome, after] : {std::tuple{"KIOSK-B", Outcome::DuplicateName, "KIOSK-A"},
                                        std::tuple{"kiosk-b", Outcome::Complete, "kiosk-b"}}) {
        EXPECT_EQ(Set(kA, {.name = name, .location = "Moved"}).outcome, outcome) << name;
        EXPECT_EQ(Wire(kA, kName), after);
        EXPECT_EQ(Wire(kA, kLocation), outcome == Outcome::Complete ? "Moved" : "Lobby");
    }
    RefreshAndValidateTerminals(document->Doc());
    EXPECT_EQ(document->Terminals().Count(), 3u);
    EXPECT_EQ(Record(kA).m_name, "kiosk-b");
}

TEST_F(TerminalInfoEdit, AnEmptiedFieldIsLeftUnderIgnoreAndClearedUnderSend) {
    for (auto [ip, blanks] : {std::pair{kA, BlankFields::Ignore}, {kB, BlankFields::Send}}) {
        bool send = blanks == BlankFields::Send;
        std::string location = Wire(ip, kLocation), name = Wire(ip, kName);
        ASSERT_EQ(Set(ip, {.contact = "New desk"}, blanks).outcome, Outcome::Complete);
        EXPECT_EQ(Wire(ip, kContact), "New desk");
        EXPECT_EQ(Wire(ip, kLocation), send ? "" : location);
        EXPECT_EQ(Record(ip).m_location, send ? "" : location);
        EXPECT_EQ(Wire(ip, kCustom + "4.0"), send ? "" : "Asset 1");
        EXPECT_EQ(Wire(ip, kName), name);  // never sent empty
    }
}

// The first refused write ends the run; what came before stays written, on the
// terminal and in its record.
TEST_F(TerminalInfoEdit, ARefusedContactLeavesNameAndLocationWrittenAndTheRestUntouched) {
    TerminalRecord before = Record(kLocked);
    SetTargetResult result = Set(kLocked, {"FRONT", "Front door", "Guard", "n1", "n2", "n3"});
    EXPECT_EQ(result.outcome, Outcome::SetFailed);
    EXPECT_EQ(result.message.rfind("Set - The requested operation tried to change a variable", 0),
              0u);
    EXPECT_EQ(Wire(kLocked, kName) + "|" + Wire(kLocked, kLocation) + "|" + Wire(kLocked, kContact),
              "FRONT|Front door|Desk");
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(Wire(kLocked, kCustom + std::to_string(3 + i) + ".0"),
                  "keep " + std::to_string(i));
    }
    TerminalRecord r = Record(kLocked);
    EXPECT_EQ(r.m_name + "|" + r.m_location, "FRONT|Front door");
    EXPECT_EQ(r.m_contact, before.m_contact);
}

// The command line checks the terminals given, or else those a discovery of
// the configured subnet finds.
TEST_F(TerminalInfoEdit, TheCommandLineRefusesDuplicatesFoundEitherWayAndPrintsTheTexts) {
    for (const auto& among : {std::vector<std::string>{"--among", kB}, {}}) {
        std::vector<std::string> args = {"set-info", kA, "--name", "KIOSK-B", "--field3", "x"};
        args.insert(args.end(), among.begin(), among.end());
        CliRun run = Cli(args);
        EXPECT_EQ(run.code, 1);
        EXPECT_EQ(run.err, "Duplicate Name Found, Please Select Another\n");
    }
    // A discovery that fails checks nothing, so nothing is sent.
    std::string broken = ReadTextFile(document->SettingsPath());
    broken.replace(broken.find("=127.0.74\n"), 10, "=127.0\n");
    WriteTextFile(document->SettingsPath(), broken);
    EXPECT_EQ(Cli({"set-info", kA, "--name", "NEW", "--location", "x"}).code, 1);
    EXPECT_EQ(Wire(kA, kName) + "|" + Wire(kA, kLocation), "KIOSK-A|Lobby");

    CliRun set = Cli({"set-info", kA, "--location", "Row 1\nRow 2"});
    EXPECT_EQ(set.code, 0) << set.err;
    EXPECT_EQ(set.err, "Terminal Information Update Complete\n");
    CliRun get = Cli({"get-info", kA});
    EXPECT_EQ(get.code, 0) << get.err;
    EXPECT_EQ(get.out,
              "Name\tKIOSK-A\nLocation\tRow 1\\nRow 2\nContact\tDesk\nCustom Field 1\tAsset 1\n"
              "Custom Field 2\t\nCustom Field 3\t\n");
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"set-info", kA, "--among"},
                                               {"set-info", kA, "--name", "a", "--name", "b"},
                                               {"set-info", kA, "--field1", std::string(256, 'x')},
                                               {"get-info", "kiosk"}}) {
        EXPECT_EQ(Cli(args).code, 2) << args.back();
    }
}

}  // namespace
