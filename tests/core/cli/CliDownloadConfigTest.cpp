#include <gtest/gtest.h>

#include "CliTestSupport.h"
#include "TestFiles.h"

namespace {

// Arguments refused before anything is read from the network, each with the
// reason on standard error; an exclusion list that did not fit is no ground
// for a run either.
TEST(CliDownloadConfig, RefusesOddArgumentsAndUnknownExclusionsBeforeAnyRequest) {
    TempDir dir;
    std::string ini = dir.File("site.ini");
    WriteTextFile(ini, "[Misc]\n[AvailableExclusions]\nKiosk=multi_sz:\"K\",\"*\"\n");
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string said;
    };
    const Case cases[] = {
        {{}, 2, "needs the configuration's directory"},
        {{"/cfg"}, 2, "either --all or"},
        {{"/cfg", "--all", "10.0.0.1"}, 2, "either --all or"},
        {{"/cfg", "10.0.0"}, 2, "not an IPv4 address"},
        {{"/cfg", "10.0.0.1", "--wait", "soon"}, 2, "--wait takes"},
        {{"/cfg", "10.0.0.1", "--exclude"}, 2, "incomplete option --exclude"},
        {{"/cfg", "10.0.0.1", "--force"}, 2, "unknown or incomplete option --force"},
        {{"/cfg", "10.0.0.1", "--exclude", "Kiosk", "--exclude", "kiosk"},
         2,
         "no exclusion named \"kiosk\""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--settings", ini, "download-config"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        CliRun run = RunCliCaptured(args);
        EXPECT_EQ(run.code, c.code) << c.said;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }

    WriteTextFile(ini,
                  "[Misc]\nGetCommunity=public\nSetCommunity=private\n[AvailableExclusions]\nBig=" +
                      std::string(10000, 'x') + "\n");
    CliRun run = RunCliCaptured({"--settings", ini, "download-config", "/cfg", "10.0.0.1"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "Out Of Buffer Memory (Internal)\n");
}

}  // namespace
