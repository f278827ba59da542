// Registration, refresh and the inventory of the command line against the
// simulated fleet.
#include <gtest/gtest.h>

#include <sstream>

#include "CliTestSupport.h"
#include "NetworkTestSupport.h"
#include "SimFleetProcess.h"
#include "TestFiles.h"
#include "core/terminals/TerminalDatabase.h"

namespace {

const char* const kFleet =
    "[Fleet]\n"
    "Contact=Desk 4100\n"
    "[ALPHA]\nAddress=127.0.60.2\nLocation=Hall\nCustomField1=Asset 1\nBuildNumber=5.2.1\n"
    "Platform=PX-4\nModDate=2026-11-30\n"
    "[OLD]\nAddress=127.0.60.3\nModel=older\nBuildNumber=3.7.215\nPlatform=P-OLD\n"
    "ModDate=2019-11-04\n"
    "[TWIN-A]\nName=TWIN\nAddress=127.0.60.4\nLocation=Left\nMAC=02:46:57:00:10:01\n"
    "[TWIN-B]\nName=TWIN\nAddress=127.0.60.5\nLocation=Right\nMAC=02:46:57:00:10:02\n"
    "[THIRD]\nAddress=127.0.60.6\nInterfaces=3\nEthernetIndex=3\nMAC=02:46:57:00:30:03\n"
    "[NOETH-A]\nName=NOETH\nAddress=127.0.60.7\nEthernetIndex=none\n"
    "[NOETH-B]\nName=NOETH\nAddress=127.0.60.8\nEthernetIndex=none\n"
    "[SILENT]\nAddress=127.0.60.9\nSilent=yes\n"
    "[ERRDESK]\nName=Error log at desk 3\nAddress=127.0.60.10\n";

class TerminalInventory : public ::testing::Test {
protected:
    void SetUp() override {
        fleet = std::make_unique<SimFleetProcess>(SimFleetProcess::Options{.fleet = kFleet});
        if (!fleet->Ready()) {
            GTEST_FAIL() << "the simulated fleet did not start: " << fleet->Log();
        }
        std::string text = ReadTextFile(ShippedSettingsPath());
        text.insert(text.find("[Misc]\n") + 7,
                    "SnmpPort=" + std::to_string(fleet->SnmpPort()) + "\n");
        settings = dir.File("inventory.ini");
        WriteTextFile(settings, text);
    }

    std::vector<std::string> WithSettings(const std::vector<std::string>& args) const {
        std::vector<std::string> all = {"--settings", settings};
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }
    // A run within this process; a run of the program as a process of its own
    // (its output and its errors together).
    CliRun Cli(const std::vector<std::string>& args) { return RunCliCaptured(WithSettings(args)); }
    CliRun Program(const std::vector<std::string>& args) {
        std::vector<std::string> argv = WithSettings(args);
        argv.insert(argv.begin(), ProgramDirectory() + "/fleetwarden-cli");
        CommandResult run = RunCommand(argv);
        return {run.exitCode, run.output, {}};
    }

    TempDir dir;
    std::string settings;
    std::unique_ptr<SimFleetProcess> fleet;
};

TEST_F(TerminalInventory, ListsEachTerminalWithItsElevenValues) {
    CliRun run = Cli({"list", "--csv", "127.0.60.2", "127.0.60.3", "127.0.60.4", "127.0.60.5",
                      "127.0.60.6", "127.0.60.7", "127.0.60.8", "127.0.60.9"});
    // The silent address is reported and not registered.
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("127.0.60.9: no answer: Get Get - The request timed-out"),
              std::string::npos)
        << run.err;
    auto lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 7u) << run.out;  // header, six terminals (the NOETH pair is one)
    EXPECT_EQ(lines[0],
              "Name,Version,Location,Contact,Custom Field 1,Custom Field 2,Custom Field 3,"
              "Build #,ModDate,IP Address,MAC Address,Platform");
    EXPECT_EQ(lines[1].rfind("ALPHA,", 0), 0u);
    EXPECT_NE(lines[1].find(",Hall,Desk 4100,Asset 1,"), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find(",5.2.1,2026-11-30,127.0.60.2,"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[1].substr(lines[1].size() - 5), ",PX-4");
    // The older model's build, date and platform come through its own layout.
    EXPECT_NE(lines[2].find(",3.7.215,2019-11-04,127.0.60.3,"), std::string::npos) << lines[2];
    EXPECT_EQ(lines[2].substr(lines[2].size() - 6), ",P-OLD");
    // Two terminals of one name, each with its own data and MAC address.
    EXPECT_NE(lines[3].find("TWIN,"), std::string::npos);
    EXPECT_NE(lines[3].find(",Left,"), std::string::npos);
    EXPECT_NE(lines[3].find(",024657001001,"), std::string::npos);
    EXPECT_NE(lines[4].find(",Right,"), std::string::npos);
    EXPECT_NE(lines[4].find(",024657001002,"), std::string::npos);
    // The Ethernet entry at position 3 of the interface table.
    EXPECT_NE(lines[5].find(",024657003003,"), std::string::npos) << lines[5];
    // Without Ethernet, one name is one terminal: the later registration replaced it.
    EXPECT_NE(lines[6].find(",127.0.60.8,EtherNetMacAdrTypeNotFoundError,"), std::string::npos)
        << lines[6];
}

TEST_F(TerminalInventory, RegisterReportsEachAddressOnce) {
    CliRun run = Cli({"register", "127.0.60.2", "127.0.60.2", "127.0.60.9"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(SplitLines(run.out),
              (std::vector<std::string>{"127.0.60.2 added",
                                        "127.0.60.2 not added (already known, or not a product "
                                        "the settings accept)"}));
}

TEST_F(TerminalInventory, SeparateRunsShareNothingButTheTerminalsThemselves) {
    CliRun first = Program({"list", "127.0.60.2", "127.0.60.6"});
    auto lines = SplitLines(first.out);
    ASSERT_EQ(lines.size(), 2u) << first.out;
    EXPECT_EQ(lines[1].rfind("THIRD\t", 0), 0u);
    // Rename THIRD on the terminal itself, from another run.
    CliRun rename = Program({"set", "127.0.60.6", "OidSysName", "THIRD-NEW"});
    ASSERT_EQ(rename.out, "NoneNoneNone\n");
    EXPECT_EQ(rename.code, 0);
    // A later run knows only what it asks the terminals now.
    CliRun second = Program({"list", "127.0.60.6", "127.0.60.2"});
    lines = SplitLines(second.out);
    ASSERT_EQ(lines.size(), 2u) << second.out;
    EXPECT_EQ(lines[0].rfind("THIRD-NEW\t", 0), 0u);
    EXPECT_EQ(lines[1].rfind("ALPHA\t", 0), 0u);
    EXPECT_EQ(SplitLines(Program({"list", "127.0.60.2"}).out).size(), 1u);
    // A name that reads like a failure text is still an answer.
    CliRun odd = Program({"register", "127.0.60.10"});
    EXPECT_EQ(odd.code, 0);
    EXPECT_EQ(odd.out, "127.0.60.10 added\n");
}

TEST_F(TerminalInventory, WhatASetWroteShowsAtTheNextRefresh) {
    const std::pair<const char*, const char*> written[] = {
        {"OidSysName", "ALPHA-2"},        {"OidSysLocation", "Hall 2"},
        {"OidSysContact", "Desk 4200"},   {"EntOidCustomField1", "Asset 2"},
        {"EntOidCustomField2", "Second"}, {"EntOidCustomField3", "Third"}};
    for (const auto& [name, value] : written) {
        CliRun set = Cli({"set", "127.0.60.2", name, value});
        EXPECT_EQ(set.out, "NoneNoneNone\n") << name << set.err;
    }
    // Each run starts with an empty terminal database of its own.
    auto lines = SplitLines(Cli({"list", "127.0.60.2"}).out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("ALPHA-2\t", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("\tHall 2\tDesk 4200\tAsset 2\tSecond\tThird\t"), std::string::npos)
        << lines[0];
}

TEST_F(TerminalInventory, ValuesFromTheTerminalStayOnTheirLine) {
    const std::string location = "Hall\t2\nRow \\3\x1b[1m";
    ASSERT_EQ(Cli({"set", "127.0.60.2", "OidSysLocation", location}).out, "NoneNoneNone\n");
    const std::string escaped = "Hall\\t2\\nRow \\\\3\\x1b[1m";
    EXPECT_EQ(Cli({"get", "127.0.60.2", "OidSysLocation"}).out, escaped + "\n");
    auto text = SplitLines(Cli({"list", "127.0.60.2"}).out);
    ASSERT_EQ(text.size(), 1u);
    EXPECT_NE(text[0].find("\t" + escaped + "\tDesk 4100\t"), std::string::npos) << text[0];
    // The CSV form keeps the value exact, in quotes.
    std::string csv = Cli({"list", "--csv", "127.0.60.2"}).out;
    EXPECT_NE(csv.find(",\"" + location + "\",Desk 4100,"), std::string::npos) << csv;
}

}  // namespace
