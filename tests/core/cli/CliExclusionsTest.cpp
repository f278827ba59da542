#include <gtest/gtest.h>

#include "CliTestSupport.h"
#include "TestFiles.h"
#include "core//staging/ExclusionList.h"
#include "core/settings/ProfileStore.h"
#include "core/staging/TemplateFile.h"

namespace {

// With the shipped template: its exclusions first, then the settings file's.
TEST(CliExclusions, ListsTheShippedTemplatesThenTheSettingsFiles) {
    TempDir dir;
    std::string ini = dir.File("site.ini"), tpl = dir.File("site.tpl");
    const std::string misc = "[Misc]\nGetCommunity=public\nSetCommunity=private\n";
    WriteTextFile(tpl, ReadTextFile(FLEETWARDEN_SOURCE_DIR "/resources/fleetwarden.tpl"));
    WriteTextFile(ini, misc + "[AvailableExclusions]\nSite=multi_sz:\"K\",\"V\"\n");
    CliRun run = RunCliCaptured({"--settings", ini, "exclusions"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "Display\nNetwork Addressing\nPasswords\nSession Server\nSite\n");

    ProfileStore store;
    EXPECT_FALSE(GetTemplateValue(store, tpl, "Template-Version", "Version").empty());
    for (const auto& [name, exclusion] : ReadTemplateExclusions(store, tpl)) {
        EXPECT_FALSE(exclusion.Items().empty()) << name;
        EXPECT_EQ(exclusion.Items().size() % 2, 0u) << name;
        EXPECT_EQ(exclusion.Items()[0].rfind("HKEY_LOCAL_MACHINE\\", 0), 0u) << name;
    }

    WriteTextFile(ini, misc + "[AvailableExclusions]\nBig=" + std::string(10000, 'x') + "\n");
    run = RunCliCaptured({"--settings", ini, "exclusions"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "Display\nNetwork Addressing\nPasswords\nSession Server\n");
    EXPECT_EQ(run.err, "Out Of Buffer Memory (Internal)\n");
    EXPECT_EQ(RunCliCaptured({"--settings", ini, "exclusions", "extra"}).code, 2);
}

}  // namespace
