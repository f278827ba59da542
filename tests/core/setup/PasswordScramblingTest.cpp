#include <gtest/gtest.h>

#include <cstring>

#include "TestDocument.h"
#include "core/setup/PasswordScrambling.h"

namespace {

const std::string kDecryptError =
    "There Was An Error Decrypting The FTP Server Password, Password Cleared\n";

std::string StoredPassword(TestDocument& t) {
    return t.Doc().GetINIValueStr("Misc", "FTPPassword", IfMissing::Silent);
}

TEST(PasswordScrambling, EveryLengthAndEveryByteValueComeBack) {
    std::vector<std::string> passwords;
    for (std::size_t length = 1; length <= 124; ++length) {
        std::string password;
        for (std::size_t i = 0; i < length; ++i) {
            password += static_cast<char>((i * 37 + length) % 255 + 1);
        }
        passwords.push_back(password);
    }
    for (int byte = 1; byte <= 255; ++byte) {
        passwords.push_back(
            std::string(static_cast<std::size_t>(byte % 124 + 1), static_cast<char>(byte)));
    }
    for (const auto& password : passwords) {
        auto stored = ScrambleToStoredForm(password);
        ASSERT_TRUE(stored);
        ASSERT_EQ(stored->size(), 6 + 2 * password.size());
        char count[5];
        std::snprintf(count, sizeof(count), "%04zx", password.size() + 1);
        EXPECT_EQ(stored->substr(0, 6), std::string(count) + "57");
        EXPECT_EQ(stored->find_first_not_of("0123456789abcdef"), std::string::npos);
        EXPECT_EQ(UnscrambleStoredForm(*stored), password);
    }
}

TEST(PasswordScrambling, TheStoredFormNeverChanges) {
    // Settings files in the field hold this form; the constants must not move.
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
}

TEST(PasswordScrambling, HexEncodeNeedsRoomForTheTerminator) {
    const std::uint8_t data[] = {1, 2, 3};
    char out[16];
    std::memset(out, '#', sizeof(out));
    EXPECT_EQ(HexEncode(data, 1, data + 1, 2, out, 10), 0u);
    EXPECT_EQ(out[0], '#');
    EXPECT_EQ(HexEncode(data, 1, data + 1, 2, out, 11), 10u);
    EXPECT_STREQ(out, "0003010203");
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
        EXPECT_EQ(t.Messages().Texts(), std::vector<std::string>{kDecryptError}) << stored;
        EXPECT_EQ(StoredPassword(t), "") << stored;
    }
}

TEST(PasswordScrambling, UpperCaseDigitsGiveAWrongPasswordSilently) {
    TestDocument t("[Misc]\nFTPPassword=00045796A397\n");
    std::string password = UnscramblePassword(t.Doc(), "00045796A397", true);
    EXPECT_EQ(password.size(), 3u);
    EXPECT_NE(password, "abc");
    EXPECT_TRUE(t.Messages().Texts().empty());
    EXPECT_EQ(StoredPassword(t), "00045796A397");
}

TEST(PasswordScrambling, TooLongAPasswordIsClearedWithMessage172) {
    TestDocument t("[Misc]\nFTPPassword=00045796a397\n");
    EXPECT_EQ(ScramblePassword(t.Doc(), std::string(125, 'p')), "");
    EXPECT_EQ(t.Messages().Texts(),
              std::vector<std::string>{
                  "There Was An Error Encrypting The FTP Server Password, Password Cleared\n"});
    EXPECT_EQ(StoredPassword(t), "");
    EXPECT_EQ(ScramblePassword(t.Doc(), std::string(124, 'p')).size(), 254u);
}

TEST(PasswordScrambling, AnEmptyStoredValueGivesTheDefaultOnlyToItsUsers) {
    TestDocument t("[Misc]\n");
    EXPECT_EQ(UnscramblePassword(t.Doc(), "", false), "");
    std::string fallback = UnscramblePassword(t.Doc(), "", true);
    EXPECT_EQ(fallback, DefaultFtpPassword());
    EXPECT_NE(fallback.find('@'), std::string::npos);
    EXPECT_EQ(ScramblePassword(t.Doc(), ""), "");
    EXPECT_TRUE(t.Messages().Texts().empty());
}

}  // namespace
