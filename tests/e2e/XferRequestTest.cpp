// Transfer requests written by the console's core and by the command line's
// submit, checked on the simulated terminals and carried out against pyftpdlib.
#include <gtest/gtest.h>

#include <filesystem>

#include "CliTestSupport.h"
#include "PyFtpServer.h"
#include "SimFleetProcess.h"
#include "TestDocument.h"
#include "TrapReceiver.h"
#include "core/common/Sentinel.h"
#include "core/setup/PasswordScrambling.h"
#include "core/terminals/TerminalDatabase.h"

namespace {

const std::string kCurrent = ".1.3.6.1.4.1.32473.10";
const std::string kOlder = ".1.3.6.1.4.1.32473.22";
// Addresses longer than the 10 characters of a trap return identifier.
const std::string kT400 = "127.0.71.12";
const std::string kOld = "127.0.71.13";
const std::string kOldLocked = "127.0.71.14";
const std::string kHalfway = "127.0.71.15";

const std::string kFleet =
    "[T400]\nAddress=" + kT400 + "\n[OLD]\nAddress=" + kOld +
    "\nModel=older\n[OLD-LOCKED]\nAddress=" + kOldLocked +
    "\nModel=older\nRefuseSetsOf=EntOidXferUserName\n[HALFWAY]\nAddress=" + kHalfway +
    "\nRefuseSetsOf=EntOidXferDest\n";

const std::string kRegistry =
    "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ThinClient\\Display]\r\n"
    "\"Resolution\"=\"1600x900\"\r\n";

void Replace(std::string& text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
}

class XferRequest : public ::testing::Test {
protected:
    void SetUp() override {
        if (FindProgram("snmpget").empty()) {
            GTEST_SKIP() << "net-snmp's command-line tools are not installed";
        }
        if (!ftp.Ready()) {
            GTEST_SKIP() << "pyftpdlib did not start: " << ftp.Log();
        }
        fleet = std::make_unique<SimFleetProcess>(SimFleetProcess::Options{
            kFleet,
            {"--trap-port", std::to_string(traps.Port()), "--trap-dest", "127.0.0.1", "--ftp-port",
             std::to_string(ftp.Port()), "--state-dir", State("")},
            false,
            {}});
        ASSERT_TRUE(fleet->Ready()) << fleet->Log();
        std::string settings = ReadTextFile(ShippedSettingsPath());
        Replace(settings, "[Misc]\n",
                "[Misc]\nSnmpPort=" + std::to_string(fleet->SnmpPort()) + "\n");
        Replace(settings, "\nFTPServerName=\n", "\nFTPServerName=127.0.0.1\n");
        Replace(settings, "\nFTPServerPath=/\n", "\nFTPServerPath=\n");
        Replace(settings, "\nFTPPassword=\n",
                "\nFTPPassword=" + *ScrambleToStoredForm("secret") + "\n");
        document = std::make_unique<TestDocument>(settings);
        for (const auto& ip : {kT400, kOld, kOldLocked, kHalfway}) {
            ASSERT_TRUE(Doc().RegisterTerminal(ip)) << ip;
        }
    }

    CTarnDoc& Doc() { return document->Doc(); }
    std::string State(const std::string& file) const { return dir.File("state/" + file); }
    // An object of the simulated terminal, by its suffix of the terminal's prefix.
    std::string Object(const std::string& ip, const std::string& suffix) const {
        return SnmpGetText(fleet->At(ip),
                           (ip == kT400 || ip == kHalfway ? kCurrent : kOlder) + suffix);
    }
    std::string Submit(const std::string& ip, int toTerminal, bool binary) {
        return Doc().SubmitXferRequest("terminal.reg", ip, toTerminal, binary);
    }
    long Outcome(const std::string& ip) {
        auto trap = traps.WaitFor([&](const ReceivedTrap& t) {
            return t.agent == ip && t.generic == 6 && (t.specific == 5 || t.specific == 6);
        });
        EXPECT_TRUE(trap) << fleet->Log();
        return trap && trap->bindings.size() == 2 ? trap->bindings[1].integer : -1;
    }

    TempDir dir;
    PyFtpServer ftp;
    TrapReceiver traps;
    std::unique_ptr<SimFleetProcess> fleet;
    std::unique_ptr<TestDocument> document;
};

TEST_F(XferRequest, TheOlderModelGetsItsLoginThroughTheRetryAndTheSectionIsOidAgain) {
    EXPECT_EQ(Submit(kOld, 0, false), kNoneNoneNone);
    EXPECT_EQ((*document).State().OidSection().Get(), "OID");
    EXPECT_TRUE(document->Messages().Texts().empty());
    // The refused first write went to the current layout's object; the retry
    // wrote the older layout's, and the password followed it there.
    EXPECT_EQ(Object(kOld, ".9.9.0"), "anonymous");
    EXPECT_EQ(Object(kOld, ".9.10.0"), "secret");
    EXPECT_EQ(Object(kOld, ".4.4.0"), "terminal.reg");
    EXPECT_EQ(Object(kOld, ".4.5.0"), "/terminal.reg");  // an empty server path
    EXPECT_EQ(Object(kOld, ".4.6.0"), "1");              // ASCII

    // The terminal sent its configuration, byte for byte.
    EXPECT_EQ(Outcome(kOld), 0);
    EXPECT_EQ(ReadTextFile(ftp.Root() + "/terminal.reg"),
              ReadTextFile(State(kOld + "/terminal.reg")));
    EXPECT_EQ(fleet->Log().find("secret"), std::string::npos);
}

TEST_F(XferRequest, TheCurrentModelGetsNoLoginAndFetchesTheFile) {
    WriteTextFile(ftp.Root() + "/terminal.reg", kRegistry);
    EXPECT_EQ(Submit(kT400, 1, false), kNoneNoneNone);
    EXPECT_EQ(Object(kT400, ".4.2.0"), "27.0.71.12");
    EXPECT_EQ(Object(kT400, ".4.4.0"), "/terminal.reg");
    EXPECT_EQ(Object(kT400, ".4.9.0"), "");
    EXPECT_EQ(Object(kT400, ".4.10.0"), "");
    EXPECT_EQ(Outcome(kT400), 0);
    EXPECT_EQ(ReadTextFile(State(kT400 + "/terminal.reg")), kRegistry);
}

// A refused write is shown once and ends the request: what came before stays
// written, the submit object is never set, and the terminal does nothing.
TEST_F(XferRequest, AFailedWriteEndsTheRequestBeforeTheSubmitObject) {
    struct Case {
        std::string ip;
        std::vector<std::string> written;    // suffixes that hold the request's values
        std::vector<std::string> unwritten;  // suffixes still at their start value
    };
    const Case cases[] = {
        {kHalfway, {".4.1.0", ".4.2.0", ".4.3.0", ".4.4.0"}, {".4.5.0", ".4.6.0", ".4.8.0"}},
        // Refused in both layouts: the retry's text is the one shown.
        {kOldLocked, {".4.1.0", ".4.6.0", ".4.8.0"}, {".9.9.0", ".9.10.0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ip);
        document->Messages().Clear();
        std::string result = Submit(c.ip, 1, false);
        EXPECT_NE(result.find("Set - The requested operation tried to change a variable that "
                              "was not allowed"),
                  std::string::npos)
            << result;
        EXPECT_EQ(document->Messages().Texts(), std::vector<std::string>{result});
        EXPECT_EQ((*document).State().OidSection().Get(), "OID");
        for (const auto& suffix : c.written) {
            std::string value = Object(c.ip, suffix);
            EXPECT_TRUE(value != "" && value != "0") << suffix << " = " << value;
        }
        for (const auto& suffix : c.unwritten) {
            std::string value = Object(c.ip, suffix);
            EXPECT_TRUE(value == "" || value == "0") << suffix << " = " << value;
        }
        EXPECT_EQ(Object(c.ip, ".4.12.0"), "0");
    }
    EXPECT_EQ(fleet->Log().find("transfer "), std::string::npos) << fleet->Log();
}

TEST_F(XferRequest, SubmitFromTheCommandLineIsCarriedOut) {
    std::filesystem::create_directories(ftp.Root() + "/incoming");
    WriteTextFile(ftp.Root() + "/incoming/new.reg", kRegistry);
    auto cli = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--settings", document->SettingsPath(), "submit"});
        return RunCliCaptured(args);
    };
    struct Refused {
        std::vector<std::string> args;
        int code;
        std::string err;
    };
    const Refused refused[] = {
        {{kT400, "--direction", "down", "--type", "ascii", "--source", "a", "--dest", "b"},
         2,
         "usage"},
        {{kT400, "--direction", "sideways", "--type", "ascii", "--source", "a", "--dest", "b",
          "--server", "s"},
         2,
         "usage"},
        {{kT400, "--direction", "up", "--type", "ascii", "--source", "a", "--dest", "b", "--server",
          "s", "--trap-id", "12345678901"},
         2,
         "at most 10"},
        {{kT400, "--direction", "up", "--type", "ascii", "--source", "", "--dest", "b", "--server",
          "s"},
         1,
         "Fill in all fields!"},
    };
    for (const auto& r : refused) {
        CliRun run = cli(r.args);
        EXPECT_EQ(run.code, r.code) << run.err;
        EXPECT_NE(run.err.find(r.err), std::string::npos) << run.err;
    }
    EXPECT_EQ(Object(kT400, ".4.1.0"), "0");  // none of them wrote anything

    CliRun run = cli({kT400, "--direction", "down", "--type", "ascii", "--source",
                      "/incoming/new.reg", "--dest", "terminal.reg", "--server", "127.0.0.1"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "NoneNoneNone\n");
    EXPECT_EQ(Outcome(kT400), 0);
    EXPECT_EQ(ReadTextFile(State(kT400 + "/terminal.reg")), kRegistry);
}

}  // namespace
