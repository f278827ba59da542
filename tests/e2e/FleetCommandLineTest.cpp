// The command line against the simulated fleet and pyftpdlib: each command
// prints what it did per terminal, and hears the outcome traps itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "CliTestSupport.h"
#include "FleetSite.h"
#include "MissingPeer.h"
#include "core/settings/ProfileStore.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const std::string kT1 = "127.0.81.2", kOld = "127.0.81.3", kLocked = "127.0.81.4",
                  kMute = "127.0.81.5", kBare = "127.0.81.6", kOldFallback = "127.0.81.7",
                  kSilent = "127.0.81.13", kErrDesk = "127.0.81.14";
const char* const kFleet =
    "[Fleet]\nContact=Desk 4100\n"
    "[T1]\nAddress=127.0.81.2\nLocation=Hall\nCustomField1=Asset 1\nBuildNumber=5.2.1\n"
    "Platform=PX-4\nModDate=2026-11-30\n"
    "[OLD]\nAddress=127.0.81.3\nModel=older\nBuildNumber=3.7.215\nPlatform=P-OLD\n"
    "ModDate=2019-11-04\n"
    "[LOCKED]\nAddress=127.0.81.4\nRefuseSetsOf=EntOidTrapServer5,EntOidTrapServer4\n"
    "[MUTE]\nAddress=127.0.81.5\nNoOutcomeTrap=yes\n"
    "[BARE]\nAddress=127.0.81.6\nConfigFileName=other.reg\n"
    "[OLD-FALLBACK]\nAddress=127.0.81.7\nModel=older\nRefuseSetsOf=EntOidTrapServer5\n"
    "[TWIN-A]\nName=TWIN\nAddress=127.0.81.8\nLocation=Left\nMAC=02:46:57:00:10:01\n"
    "[TWIN-B]\nName=TWIN\nAddress=127.0.81.9\nLocation=Right\nMAC=02:46:57:00:10:02\n"
    "[THIRD]\nAddress=127.0.81.10\nInterfaces=3\nEthernetIndex=3\nMAC=02:46:57:00:30:03\n"
    "[NOETH-A]\nName=NOETH\nAddress=127.0.81.11\nEthernetIndex=none\n"
    "[NOETH-B]\nName=NOETH\nAddress=127.0.81.12\nEthernetIndex=none\n"
    "[SILENT]\nAddress=127.0.81.13\nSilent=yes\n"
    "[ERRDESK]\nName=Error log at desk 3\nAddress=127.0.81.14\n";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The configured subnets hold T1 and OLD; the command line listens for the
// fleet's traps itself.
class FleetCommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string misc =
            "DiscoverIPSubNet=127.0.81\nDiscoverRangeLow=2\nDiscoverRangeHigh=3\n";
        if (!site.Start(kFleet, FreeUdpPort("127.0.0.1"), misc)) {
            SKIP_FOR_MISSING_PEER(site.Why());
        }
        ASSERT_TRUE(site.Ready()) << site.Why();
    }
    CliRun Cli(std::vector<std::string> args, const std::string& input = {}) {
        args.insert(args.begin(), {"--settings", site.SettingsPath()});
        return RunCliCaptured(args, input);
    }
    // A run of the program as a process of its own (output and errors together).
    CliRun Program(std::vector<std::string> args) {
        args.insert(args.begin(),
                    {ProgramDirectory() + "/fleetwarden-cli", "--settings", site.SettingsPath()});
        CommandResult run = RunCommand(args);
        return {run.exitCode, run.output, {}};
    }
    std::string Wire(const std::string& ip, const std::string& oid) {
        return SnmpGetText(site.At(ip), oid);
    }
    FleetSite site;
};

TEST_F(FleetCommandLine, DownloadConfigWaitsForEachTerminalsOutcome) {
    const std::string configs = site.dir.File("configs");
    fs::create_directories(configs);
    WriteTextFile(configs + "/terminal.reg",
                  "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ThinClient\\Security]\r\n"
                  "\"AdminPassword\"=\"site-Adm-2024\"\r\n\"LockSettings\"=dword:00000001\r\n");
    CliRun all = Cli({"download-config", configs, "--reboot", "--exclude", "Passwords", "--all",
                      "--wait", "20"});
    EXPECT_EQ(all.code, 0) << all.err;
    EXPECT_EQ(all.out, kT1 + " T1: ok\n" + kOld + " OLD: ok\n") << all.err;
    EXPECT_FALSE(Contains(site.StoredOn(kT1), "site-Adm-2024"));
    EXPECT_TRUE(Contains(site.StoredOn(kT1), "LockSettings"));

    // A line that is neither a key nor a value passes the filter; the terminal
    // refuses the file, with the reason.
    WriteTextFile(configs + "/terminal.reg",
                  "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\X]\r\nResolution=1\r\n");
    CliRun mixed = Cli({"download-config", configs, kT1, kLocked, kMute, "--wait", "3"});
    EXPECT_EQ(mixed.code, 1);
    Lines lines = SplitLines(mixed.out);
    ASSERT_EQ(lines.size(), 3u) << mixed.out << mixed.err;
    EXPECT_EQ(lines[0].rfind(kT1 + " T1: failed: ", 0), 0u) << lines[0];
    EXPECT_GT(lines[0].size(), kT1.size() + 15);
    EXPECT_EQ(lines[1].rfind(kLocked + " LOCKED: not sent: ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2], kMute + " MUTE: no trap");
    EXPECT_TRUE(Contains(mixed.err, "LOCKED- Set Trap Server Error -")) << mixed.err;
    EXPECT_TRUE(ProfileStore().ReadSectionLines(site.SettingsPath(), "CurrentExclusions").empty());
}

// --wait prints each terminal's outcome and exits 0 only when all were done.
TEST_F(FleetCommandLine, FirmwareWaitsForEachTerminalsOutcome) {
    const std::string firmware = site.dir.File("fw");
    fs::create_directories(firmware);
    WriteTextFile(firmware + "/params.ini", "[Image]\nImageFileName=fw.bin\n");
    WriteTextFile(firmware + "/fw.bin", "image");
    CliRun mixed = Cli({"firmware", firmware, kLocked, kOldFallback, kMute, "--wait", "4"});
    EXPECT_EQ(mixed.code, 1) << mixed.err;
    Lines lines = SplitLines(mixed.out);
    for (auto& line : lines) {
        line = line.substr(0, line.find(": Set - "));
    }
    EXPECT_EQ(lines, (Lines{kLocked + " not requested", kOldFallback + " ok", kMute + " no trap"}));
}

// The upload exits 0 only with the file in the directory; a failure trap's
// reason follows the message, as the Trap Monitor has it.
TEST_F(FleetCommandLine, UploadBringsTheFileOrSaysWhyNot) {
    const std::string configs = site.dir.File("configs");
    CliRun run = Cli({"upload", kT1, configs + "/"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(ReadTextFile(configs + "/terminal.reg"), site.StoredOn(kT1));
    EXPECT_EQ(run.err, "Configuration Upload Complete To Directory:  " + configs + "\n");

    run = Cli({"upload", kBare, site.dir.File("bare")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(
        SplitLines(run.err),
        (Lines{"Configuration Upload Failure, Check Trap Monitor For Reason", "BARE : " + kBare,
               "SNMP Initiated Up/Download Request Not Completed", "Source File Not Found"}));
    run = Cli({"upload", kMute, site.dir.File("quiet"), "--timeout", "1"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "Configuration Upload Failure, No Trap Received Before Timeout\n");
}

TEST_F(FleetCommandLine, SubmitIsCarriedOut) {
    const std::string registry =
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n\"A\"=\"1\"\r\n";
    fs::create_directories(site.ftp.Root() + "/incoming");
    WriteTextFile(site.ftp.Root() + "/incoming/new.reg", registry);
    // A field left empty (the source, between two spaces) sends nothing.
    CliRun run = Cli(Words("submit " + kT1 + " --direction up --type ascii --source  --dest b " +
                           "--server 127.0.0.1"));
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(Contains(run.err, "Fill in all fields!")) << run.err;
    EXPECT_EQ(Wire(kT1, ".1.3.6.1.4.1.32473.10.4.1.0"), "0");
    run = Cli(Words("submit " + kT1 + " --direction down --type ascii --source /incoming/new.reg " +
                    "--dest terminal.reg --server 127.0.0.1"));
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "NoneNoneNone\n");
    for (int i = 0; i < 200 && site.StoredOn(kT1) != registry; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(site.StoredOn(kT1), registry);
}

// The terminals compared are those given, or else those a discovery of the
// configured subnets finds; values print on one line each.
TEST_F(FleetCommandLine, SetInfoRefusesDuplicatesFoundEitherWayAndGetInfoPrintsTheTexts) {
    for (const auto& among : {Lines{"--among", kOld}, Lines{}}) {
        Lines args = {"set-info", kT1, "--name", "OLD", "--field3", "x"};
        args.insert(args.end(), among.begin(), among.end());
        CliRun run = Cli(args);
        EXPECT_EQ(run.code, 1);
        EXPECT_EQ(run.err, "Duplicate Name Found, Please Select Another\n");
    }
    // A discovery that fails checks nothing, so nothing is sent.
    std::string broken = site.Settings();
    broken.replace(broken.find("=127.0.81\n"), 10, "=127.0\n");
    WriteTextFile(site.SettingsPath(), broken);
    EXPECT_EQ(Cli({"set-info", kT1, "--name", "NEW", "--location", "x"}).code, 1);
    EXPECT_EQ(Wire(kT1, ".1.3.6.1.2.1.1.5.0") + "|" + Wire(kT1, ".1.3.6.1.2.1.1.6.0"), "T1|Hall");

    CliRun set = Cli({"set-info", kT1, "--location", "Row 1\nRow 2"});
    EXPECT_EQ(set.code, 0) << set.err;
    EXPECT_EQ(set.err, "Terminal Information Update Complete\n");
    CliRun get = Cli({"get-info", kT1});
    EXPECT_EQ(get.code, 0) << get.err;
    EXPECT_EQ(get.out,
              "Name\tT1\nLocation\tRow 1\\nRow 2\nContact\tDesk 4100\nCustom Field 1\tAsset 1\n"
              "Custom Field 2\t\nCustom Field 3\t\n");
}

TEST_F(FleetCommandLine, ListShowsEachTerminalWithItsElevenValues) {
    CliRun run = Cli({"list", "--csv", kT1, kOld, "127.0.81.8", "127.0.81.9", "127.0.81.10",
                      "127.0.81.11", "127.0.81.12", kSilent});
    // The silent address is reported and not registered.
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(Contains(run.err, kSilent + ": no answer: Get Get - The request timed-out"))
        << run.err;
    Lines lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 7u) << run.out;  // header, six terminals (the NOETH pair is one)
    EXPECT_EQ(lines[0],
              "Name,Version,Location,Contact,Custom Field 1,Custom Field 2,Custom Field 3,"
              "Build #,ModDate,IP Address,MAC Address,Platform");
    const std::pair<std::size_t, std::string> parts[] = {
        {1, "T1,"},
        {1, ",Hall,Desk 4100,Asset 1,"},
        {1, ",5.2.1,2026-11-30," + kT1 + ","},
        {1, ",PX-4"},
        // The older model's build, date and platform come through its own layout.
        {2, ",3.7.215,2019-11-04," + kOld + ","},
        {2, ",P-OLD"},
        // Two terminals of one name, each with its own data and MAC address.
        {3, "TWIN,"},
        {3, ",Left,"},
        {3, ",024657001001,"},
        {4, ",Right,"},
        {4, ",024657001002,"},
        // The Ethernet entry at position 3 of the interface table.
        {5, ",024657003003,"},
        // Without Ethernet, one name is one terminal: the later registration replaced it.
        {6, ",127.0.81.12,EtherNetMacAdrTypeNotFoundError,"},
    };
    for (const auto& [line, part] : parts) {
        EXPECT_TRUE(Contains(lines[line], part)) << lines[line] << " lacks " << part;
    }
    EXPECT_EQ(SplitLines(Cli({"register", kT1, kT1}).out),
              (Lines{kT1 + " added", kT1 + " not added (already known, or not a product the "
                                           "settings accept)"}));
}

TEST_F(FleetCommandLine, SeparateRunsShareNothingButTheTerminalsThemselves) {
    Lines lines = SplitLines(Program({"list", kT1, "127.0.81.10"}).out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].rfind("THIRD\t", 0), 0u);
    // Renamed on the terminal itself, from another run.
    CliRun rename = Program({"set", "127.0.81.10", "OidSysName", "THIRD-NEW"});
    EXPECT_EQ(rename.code, 0);
    ASSERT_EQ(rename.out, "NoneNoneNone\n");
    // A later run knows only what it asks the terminals now.
    lines = SplitLines(Program({"list", "127.0.81.10", kT1}).out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("THIRD-NEW\t", 0), 0u);
    EXPECT_EQ(lines[1].rfind("T1\t", 0), 0u);
    EXPECT_EQ(SplitLines(Program({"list", kT1}).out).size(), 1u);
    // A name that reads like a failure text is still an answer.
    CliRun odd = Program({"register", kErrDesk});
    EXPECT_EQ(odd.code, 0);
    EXPECT_EQ(odd.out, kErrDesk + " added\n");
}

// What set wrote shows at the next refresh, each value on the terminal's own
// line; the CSV form keeps it exact, in quotes.
TEST_F(FleetCommandLine, WrittenValuesShowAtTheNextRefreshOnTheirLine) {
    const std::string location = "Hall\t2\nRow \\3\x1b[1m";
    const std::pair<const char*, std::string> written[] = {
        {"OidSysName", "T1-2"},           {"OidSysLocation", location},
        {"OidSysContact", "Desk 4200"},   {"EntOidCustomField1", "Asset 2"},
        {"EntOidCustomField2", "Second"}, {"EntOidCustomField3", "Third"}};
    for (const auto& [name, value] : written) {
        CliRun set = Cli({"set", kT1, name, value});
        EXPECT_EQ(set.out, "NoneNoneNone\n") << name << set.err;
    }
    const std::string escaped = "Hall\\t2\\nRow \\\\3\\x1b[1m";
    EXPECT_EQ(Cli({"get", kT1, "OidSysLocation"}).out, escaped + "\n");
    Lines text = SplitLines(Cli({"list", kT1}).out);
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0].rfind("T1-2\t", 0), 0u) << text[0];
    EXPECT_TRUE(Contains(text[0], "\t" + escaped + "\tDesk 4200\tAsset 2\tSecond\tThird\t"))
        << text[0];
    std::string csv = Cli({"list", "--csv", kT1}).out;
    EXPECT_TRUE(Contains(csv, ",\"" + location + "\",Desk 4200,")) << csv;
}

TEST_F(FleetCommandLine, DiscoverPrintsTheLogThenTheTerminals) {
    CliRun run = Cli({"discover", "--parallel", "8"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    Lines lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 12u) << run.out;
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 5),
              (Lines{"", "T1", "T400 thin client, firmware 5.2.1", kT1, std::string(80, '_')}));
    EXPECT_EQ(lines[10].substr(0, lines[10].find('\t')), "T1");
    EXPECT_TRUE(Contains(lines[11], "\t" + kOld + "\t"));
}

}  // namespace
