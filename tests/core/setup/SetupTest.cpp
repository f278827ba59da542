#include <gtest/gtest.h>

#include <cstring>

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

std::string StoredPassword(TestDocument& t) {
    return t.Doc().GetINIValueStr("Misc", "FTPPassword", IfMissing::Silent);
}

// Every length, and over all of them every byte value from 1 to 255.
TEST(PasswordScrambling, EveryLengthAndEveryByteValueComeBack) {
    for (std::size_t length = 1; length <= 124; ++length) {
        std::string password;
        for (std::size_t i = 0; i < length; ++i) {
            password += static_cast<char>((i * 37 + length) % 255 + 1);
        }
        auto stored = ScrambleToStoredForm(password);
        ASSERT_TRUE(stored);
        char count[5];
        std::snprintf(count, sizeof(count), "%04zx", password.size() + 1);
        EXPECT_EQ(stored->substr(0, 6), std::string(count) + "57");
        EXPECT_EQ(stored->find_first_not_of("0123456789abcdef"), std::string::npos);
        EXPECT_EQ(UnscrambleStoredForm(*stored), password);
    }
}

// Settings files in the field hold these forms; the constants must not move.
TEST(PasswordScrambling, TheStoredFormNeverChanges) {
    EXPECT_EQ(ScrambleToStoredForm("abc"), "00045796a397");
    EXPECT_EQ(UnscrambleStoredForm("00045796a397"), "abc");
    // Another key byte, as another installation might have stored it.
    std::uint8_t key = 0x31;
    std::uint8_t bytes[] = {'a', 'b', 'c'};
    ScrambleBytes(key, bytes, 3);
    char text[16];
    ASSERT_EQ(HexEncode(&key, 1, bytes, 3, text, sizeof(text)), 12u);
    EXPECT_EQ(UnscrambleStoredForm(text), "abc");
    // The password ends at a zero byte inside it.
    EXPECT_EQ(UnscrambleStoredForm(*ScrambleToStoredForm(std::string("a\0b", 3))), "a");
    // The encoder needs room for the terminator, or writes nothing.
    std::memset(text, '#', sizeof(text));
    EXPECT_EQ(HexEncode(bytes, 1, bytes + 1, 2, text, 10), 0u);
    EXPECT_EQ(text[0], '#');
    EXPECT_EQ(HexEncode(bytes, 1, bytes + 1, 2, text, 11), 10u);
}

TEST(PasswordScrambling, StoredFormsThatDoNotDecodeAreClearedWithMessage173) {
    const std::string cases[] = {
        "000",                           // shorter than the count
        "0000",                          // count 0
        "0010" + std::string(10, '0'),   // fewer digits than the count says
        "0100" + std::string(600, '1'),  // more than 255 bytes
        "000157",                        // the key byte alone
        "GetINIValueStrError",           // what a missing key reads as
    };
    for (const auto& stored : cases) {
        TestDocument t("[Misc]\nFTPPassword=" + stored + "\n");
        EXPECT_EQ(UnscramblePassword(t.Doc(), stored, true), "") << stored;
        EXPECT_EQ(t.Messages().Texts(),
                  std::vector<std::string>{"There Was An Error Decrypting The FTP Server "
                                           "Password, Password Cleared\n"})
            << stored;
        EXPECT_EQ(StoredPassword(t), "") << stored;
    }
}

// Upper-case digits decode silently to a wrong password; more than 124 bytes
// are stored empty with message 172; nothing stored means the default password
// for the users that ask for it.
TEST(PasswordScrambling, TheEdgesStoredFilesRelyOn) {
    TestDocument t("[Misc]\nFTPPassword=00045796A397\n");
    std::string password = UnscramblePassword(t.Doc(), "00045796A397", true);
    EXPECT_EQ(password.size(), 3u);
    EXPECT_NE(password, "abc");
    EXPECT_TRUE(t.Messages().Texts().empty());
    EXPECT_EQ(StoredPassword(t), "00045796A397");

    EXPECT_EQ(ScramblePassword(t.Doc(), std::string(124, 'p')).size(), 254u);
    EXPECT_EQ(ScramblePassword(t.Doc(), std::string(125, 'p')), "");
    EXPECT_EQ(t.Messages().Texts(),
              std::vector<std::string>{
                  "There Was An Error Encrypting The FTP Server Password, Password Cleared\n"});
    EXPECT_EQ(StoredPassword(t), "");

    t.Messages().Clear();
    EXPECT_EQ(UnscramblePassword(t.Doc(), "", false), "");
    EXPECT_EQ(UnscramblePassword(t.Doc(), "", true), DefaultFtpPassword());
    EXPECT_NE(DefaultFtpPassword().find('@'), std::string::npos);
    EXPECT_EQ(ScramblePassword(t.Doc(), ""), "");
    EXPECT_TRUE(t.Messages().Texts().empty());
}

}  // namespace
