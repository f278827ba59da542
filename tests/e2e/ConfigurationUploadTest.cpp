// The command line's upload from simulated terminals through pyftpdlib: it
// hears the outcome trap itself. The console's dialog runs the same sequence
// (tests/gui/TransferDialogsTest.cpp).
#include <gtest/gtest.h>

#include "CliTestSupport.h"
#include "FakeTerminals.h"
#include "MissingPeer.h"
#include "PyFtpServer.h"
#include "SimFleetProcess.h"

namespace {

const std::string kDesk = "127.0.72.2";
const std::string kQuiet = "127.0.72.3";  // sends no outcome trap
const std::string kBare = "127.0.72.4";   // has no file of the configuration's name

TEST(ConfigurationUploadCli, ExitsZeroOnlyWithTheFileInTheDirectory) {
    PyFtpServer ftp;
    if (!ftp.Ready()) {
        SKIP_FOR_MISSING_PEER("pyftpdlib did not start: " + ftp.Log());
    }
    TempDir dir;
    unsigned trapPort = FreeUdpPort();
    SimFleetProcess fleet({"[DESK]\nAddress=" + kDesk + "\n[QUIET]\nAddress=" + kQuiet +
                               "\nNoOutcomeTrap=yes\n[BARE]\nAddress=" + kBare +
                               "\nConfigFileName=other.reg\n",
                           {"--trap-port", std::to_string(trapPort), "--ftp-port",
                            std::to_string(ftp.Port()), "--state-dir", dir.File("state")},
                           false,
                           {}});
    ASSERT_TRUE(fleet.Ready()) << fleet.Log();
    std::string settings = DefaultSettingsWith(
        "SnmpPort=" + std::to_string(fleet.SnmpPort()) + "\nTrapPort=" + std::to_string(trapPort) +
        "\nFTPServerPort=" + std::to_string(ftp.Port()) + "\nLocalHostIP=127.0.0.1\n");
    settings.replace(settings.find("\nFTPServerName=\n"), 16, "\nFTPServerName=127.0.0.1\n");
    WriteTextFile(dir.File("settings.ini"), settings);
    auto upload = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--settings", dir.File("settings.ini"), "upload"});
        return RunCliCaptured(args);
    };
    const std::string configs = dir.File("configs");

    CliRun run = upload({kDesk, configs + "/"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(ReadTextFile(configs + "/terminal.reg"),
              ReadTextFile(dir.File("state/" + kDesk + "/terminal.reg")));
    EXPECT_EQ(run.err, "Configuration Upload Complete To Directory:  " + configs + "\n");

    // A failure trap's reason follows the message, as the Trap Monitor has it.
    run = upload({kBare, dir.File("bare")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(SplitLines(run.err),
              (std::vector<std::string>{
                  "Configuration Upload Failure, Check Trap Monitor For Reason", "BARE : " + kBare,
                  "SNMP Initiated Up/Download Request Not Completed", "Source File Not Found"}));

    run = upload({kQuiet, dir.File("quiet"), "--timeout", "1"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "Configuration Upload Failure, No Trap Received Before Timeout\n");

    for (const auto& args : std::vector<std::vector<std::string>>{
             {kDesk}, {"127.0.72", configs}, {kDesk, configs, "--timeout", "0"}}) {
        EXPECT_EQ(upload(args).code, 2) << args.size();
    }
}

}  // namespace
