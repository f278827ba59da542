#include <gtest/gtest.h>

#include "TestDocument.h"
#include "core/common/Sentinel.h"
#include "core/discovery/SubnetList.h"
#include "core/setup/PasswordScrambling.h"
#include "core/setup/SetupSettings.h"

namespace {

const char* const kStored =
    "[Misc]\n"
    "GetCommunity=public\n"
    "SetCommunity=private\n"
    "DiscoverIPSubNet=10.1.2\n"
    "DiscoverMethod=BCAST\n"
    "DiscoverRangeLow=10\n"
    "DiscoverRangeHigh=20\n"
    "FTPServerName=stage.example\n"
    "FTPServerPath=/cfg\n"
    "FTPLogin=admin\n"
    "FTPPassword=00045796a397\n";

SetupValues Valid() {
    SetupValues v;
    v.getCommunity = "northern";
    v.setCommunity = "southern";
    v.discoverIPSubNet = "10.9.1;10.9.2";
    v.rangeLow = "5";
    v.rangeHigh = "200";
    v.ftpServerName = "127.0.0.1";
    v.ftpServerPath = "configs";
    v.ftpLogin = "stager";
    v.ftpPassword = "s3cret";
    return v;
}

TEST(Setup, EachCheckShowsItsMessageAndWritesNothing) {
    const std::string range = kSetupRangeMessage;
    const std::string order = "IP Range in Subnet(s) Must Be Equal Or Low (left) To High (right)";
    const std::string server = "Must Provide FTP Server Name Or IP Address";
    const std::string subnet = "Syntax Error in Discover IP Sub Net Entry, Check Entry";
    using C = SetupCheck;
    // low, high, server name, subnet list: the first failing check, in OK's order.
    const struct {
        const char *low, *high, *name, *subnets;
        SetupCheck check;
        const std::string& message;
    } cases[] = {
        {"0", "9", "s", "10.1", C::RangeLow, range},
        {"255", "9", "s", "10.1", C::RangeLow, range},
        {"1", "", "s", "10.1", C::RangeHigh, range},
        {"1", "12x", "s", "10.1", C::RangeHigh, range},
        {"0", "9", "", "", C::RangeLow, range},
        {"200", "100", "", "", C::RangeOrder, order},
        {"1", "9", "", "", C::ServerName, server},
        {"1", "9", "s", "10.1.2; 10.1.3", C::SubnetList, subnet},
        {"1", "9", "s", "", C::SubnetList, subnet},
        {"1", "9", "s", "10.1;;10.2", C::SubnetList, subnet},
    };
    for (const auto& c : cases) {
        TestDocument t(kStored);
        SetupValues values = Valid();
        values.rangeLow = c.low;
        values.rangeHigh = c.high;
        values.ftpServerName = c.name;
        values.discoverIPSubNet = c.subnets;
        EXPECT_EQ(SaveSetup(t.Doc(), values), c.check) << c.message;
        EXPECT_EQ(t.Messages().Texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(ReadTextFile(t.SettingsPath()), kStored);
        EXPECT_EQ(t.State().GetCommunity().Get(), "public");
    }
}

TEST(Setup, OkWritesEveryKeyInOrderAndTheCommunitiesTakeEffect) {
    TestDocument t("");
    SetupValues values = Valid();
    values.broadcast = true;
    ASSERT_EQ(SaveSetup(t.Doc(), values), SetupCheck::None);
    std::string password = ScrambleToStoredForm("s3cret").value();
    EXPECT_EQ(ReadTextFile(t.SettingsPath()),
              "[Misc]\nGetCommunity=northern\nSetCommunity=southern\n"
              "DiscoverIPSubNet=10.9.1;10.9.2\nDiscoverMethod=BCAST\n"
              "FTPServerName=127.0.0.1\nFTPServerPath=/configs\nFTPLogin=stager\n"
              "FTPPassword=" +
                  password + "\nDiscoverRangeLow=5\nDiscoverRangeHigh=200\n");
    EXPECT_EQ(t.State().GetCommunity().Get(), "northern");
    EXPECT_EQ(t.State().SetCommunity().Get(), "southern");
    EXPECT_EQ(t.State().Subnets().Entries(), (std::vector<std::string>{"10.9.2", "10.9.1"}));
    EXPECT_TRUE(t.Messages().Texts().empty());

    // What OK wrote is what the dialog shows the next time.
    SetupValues read = ReadSetupValues(t.Doc());
    EXPECT_EQ(read.ftpPassword, "s3cret");
    EXPECT_EQ(read.ftpServerPath, "/configs");
    EXPECT_TRUE(read.broadcast);
    EXPECT_EQ(read.rangeLow + "-" + read.rangeHigh, "5-200");
}

TEST(Setup, ThePathGetsALeadingSeparatorOfItsOwnKind) {
    const std::pair<const char*, const char*> cases[] = {
        {"ftp\\configs", "\\ftp\\configs"},
        {"configs", "/configs"},
        {"", "/"},
        {"\\abs", "\\abs"},
        {"/abs/x", "/abs/x"},
        {"a/b\\c", "\\a/b\\c"},
    };
    for (const auto& [typed, saved] : cases) {
        TestDocument t(kStored);
        SetupValues values = Valid();
        values.ftpServerPath = typed;
        ASSERT_EQ(SaveSetup(t.Doc(), values), SetupCheck::None);
        EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "FTPServerPath", IfMissing::Silent), saved)
            << typed;
    }
}

TEST(Setup, TooLongAPasswordIsStoredEmptyAndEverythingElseSaved) {
    TestDocument t(kStored);
    SetupValues values = Valid();
    values.ftpPassword = std::string(125, 'x');
    EXPECT_EQ(SaveSetup(t.Doc(), values), SetupCheck::None);
    EXPECT_EQ(t.Messages().Texts(),
              std::vector<std::string>{
                  "There Was An Error Encrypting The FTP Server Password, Password Cleared\n"});
    EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "FTPPassword", IfMissing::Silent), "");
    EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "GetCommunity", IfMissing::Silent), "northern");
}

TEST(Setup, OpeningReadsMissingKeysAsTheirErrorText) {
    TestDocument t("[Misc]\nDiscoverRangeLow=abc\nFTPServerName=\n");
    SetupValues values = ReadSetupValues(t.Doc());
    EXPECT_EQ(values.getCommunity, "GetINIValueStrError");
    EXPECT_FALSE(values.broadcast);
    EXPECT_EQ(values.rangeLow, "0");
    EXPECT_EQ(values.rangeHigh, "0");
    EXPECT_EQ(values.ftpServerName, "");
    EXPECT_EQ(values.ftpPassword, "");
    std::vector<std::string> texts = t.Messages().Texts();
    ASSERT_EQ(texts.size(), 9u);
    EXPECT_EQ(texts[0], "GetINIValueStr:Misc:GetCommunity:Not Found");
    EXPECT_EQ(texts[7],
              "There Was An Error Decrypting The FTP Server Password, Password Cleared\n");
    EXPECT_EQ(texts[8], "GetINIValueStr:Misc:DiscoverRangeHigh:Not Found");
    EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "FTPPassword", IfMissing::Silent), "");
}

TEST(Setup, ProposedSubnetAndTheStartUpCheck) {
    EXPECT_EQ(ProposedSubnet("10.1.2.40"), "10.1.2");
    EXPECT_EQ(ProposedSubnet(""), "255.255.255");

    const struct {
        const char* settings;
        bool needed;
        std::size_t messages;
    } cases[] = {
        {"[Misc]\nFTPServerName=\nDiscoverIPSubNet=10.1.2\n", true, 0},
        {"[Misc]\nFTPServerName=ftp\nDiscoverIPSubNet=\n", true, 0},
        {"[Misc]\nFTPServerName=ftp\nDiscoverIPSubNet=10.1.2\n", false, 0},
        {"[Misc]\nDiscoverIPSubNet=\n", true, 1},
        {"[Misc]\n", false, 2},
    };
    for (const auto& c : cases) {
        TestDocument t(c.settings);
        EXPECT_EQ(SetupNeededAtStart(t.Doc()), c.needed) << c.settings;
        EXPECT_EQ(t.Messages().Texts().size(), c.messages) << c.settings;
    }
}

}  // namespace
