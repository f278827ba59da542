#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "NetworkTestSupport.h"
#include "PyFtpServer.h"
#include "TestDocument.h"
#include "TestFiles.h"
#include "core/staging/FtpStaging.h"

namespace {

using namespace std::chrono_literals;

const std::string kWrongPasswordText =
    "The request to connect and log on to an FTP server could not be completed because the "
    "supplied password is incorrect.";

// Every byte value, line ends included: an ASCII-mode transfer would change them.
std::string BinaryContent() {
    std::string bytes;
    for (int round = 0; round < 64; ++round) {
        for (int b = 0; b < 256; ++b) {
            bytes += static_cast<char>(b);
        }
        bytes += "\r\n\n\r";
    }
    return bytes;
}

// A server that takes the connection and never says a word.
class SilentServer {
public:
    SilentServer() : m_fd(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in sin{};
        sin.sin_family = AF_INET;
        sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&sin), sizeof(sin));
        ::listen(m_fd, 4);
        socklen_t len = sizeof(sin);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&sin), &len);
        m_port = ntohs(sin.sin_port);
    }
    ~SilentServer() { ::close(m_fd); }
    unsigned Port() const { return m_port; }

private:
    int m_fd;
    unsigned m_port = 0;
};

FtpServer At(unsigned port, std::string login = {}, std::string password = {}) {
    return FtpServer{"127.0.0.1", port, std::move(login), std::move(password)};
}

// Logons seen by the server (its start-up probe never logs on).
std::size_t Sessions(const PyFtpServer& server) {
    std::string log = server.Log();
    std::size_t count = 0;
    for (auto at = log.find(" logged in."); at != std::string::npos;
         at = log.find(" logged in.", at + 1)) {
        ++count;
    }
    return count;
}

TEST(InternetErrorText, TableFallbacksAndTheServersReply) {
    std::size_t codes = 0;
    for (unsigned long code = 0; code < 13000; ++code) {
        if (HasInternetErrorText(code)) {
            ++codes;
            EXPECT_FALSE(InternetErrorText(code, "L").empty()) << code;
            EXPECT_EQ(InternetErrorText(code, "L").find("L = "), std::string::npos) << code;
        }
    }
    EXPECT_EQ(codes, 59u);
    EXPECT_FALSE(HasInternetErrorText(12003));

    const std::string longReply(5001, 'x');
    const struct {
        unsigned long code;
        FtpLastResponse reply;
        std::string text;
    } cases[] = {
        {12014, {}, kWrongPasswordText},
        {12031,
         {},
         "The connection with the server has been reset.Possible disk full or access problem on "
         "FTP server."},
        {2, {}, "InternetFtpPutFileError = 2"},
        {12099, {}, "InternetFtpPutFileError = 12099"},
        {12003, {"550 No such file or directory.", 550}, "550 No such file or directory."},
        {12003, {"", 550}, "InternetFtpPutFileError = 550 Extended Message Fail"},
        {12003, {longReply, 421}, "InternetFtpPutFileError = 421 Extended Message Fail"},
        {12003, {std::string(5000, 'y'), 550}, std::string(5000, 'y')},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(InternetErrorText(c.code, "InternetFtpPutFileError", c.reply), c.text) << c.code;
    }
}

TEST(FtpRemoteName, SeparatorFollowsThePath) {
    const std::pair<const char*, const char*> cases[] = {
        {"configs", "configs/reg.txt"},   {"C:\\ftp\\in", "C:\\ftp\\in\\reg.txt"}, {"", "/reg.txt"},
        {"configs/", "configs//reg.txt"}, {"a/b\\c", "a/b\\c\\reg.txt"},
    };
    for (const auto& [path, remote] : cases) {
        EXPECT_EQ(FtpRemoteName(path, "reg.txt"), remote) << path;
    }
}

class FtpAgainstServer : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.Ready()) {
            GTEST_SKIP() << "pyftpdlib is not available";
        }
        std::filesystem::create_directories(server.Root() + "/configs");
        WriteTextFile(local, BinaryContent());
    }
    PyFtpServer server;
    TempDir dir;
    std::string local = dir.File("reg.txt");
    CurlFtpClient client;
};

TEST_F(FtpAgainstServer, AnonymousPutAndGetMoveEveryByte) {
    for (const std::string remote : {"configs/reg.txt", "/configs/abs.txt", "name with space"}) {
        FtpOutcome put = FtpPutFile(client, At(server.Port()), local, remote);
        ASSERT_TRUE(put.ok) << remote << ": " << put.ErrorText();
        std::string back = dir.File("back.txt");
        FtpOutcome get = FtpGetFile(client, At(server.Port()), remote, back);
        ASSERT_TRUE(get.ok) << remote << ": " << get.ErrorText();
        EXPECT_EQ(ReadTextFile(back), BinaryContent()) << remote;
    }
    EXPECT_EQ(ReadTextFile(server.Root() + "/configs/reg.txt"), BinaryContent());
    EXPECT_EQ(ReadTextFile(server.Root() + "/name with space"), BinaryContent());
    EXPECT_EQ(Sessions(server), 6u);
}

TEST_F(FtpAgainstServer, ServerRepliesAndLocalFilesGiveTheirTexts) {
    std::string kept = dir.File("kept.txt");
    WriteTextFile(kept, "old contents");
    FtpOutcome missingDir = FtpPutFile(client, At(server.Port()), local, "nowhere/reg.txt");
    FtpOutcome missingRemote = FtpGetFile(client, At(server.Port()), "configs/none.txt", kept);
    FtpOutcome missingLocal = FtpPutFile(client, At(server.Port()), dir.File("none"), "x");
    FtpOutcome noLocalDir =
        FtpGetFile(client, At(server.Port()), "configs/none.txt", dir.File("no/dir/x"));
    FtpOutcome injected = FtpPutFile(client, At(server.Port()), local, "x\r\nDELE reg.txt");
    FtpOutcome injectedLogon =
        FtpPutFile(client, At(server.Port(), "u", "pw\r\nDELE reg.txt"), local, "x");

    EXPECT_EQ(missingDir.code, 12003u);
    EXPECT_EQ(missingDir.ErrorText().rfind("550 ", 0), 0u) << missingDir.ErrorText();
    EXPECT_EQ(missingRemote.code, 12003u);
    EXPECT_EQ(missingRemote.ErrorText().rfind("550 ", 0), 0u) << missingRemote.ErrorText();
    EXPECT_EQ(ReadTextFile(kept), "old contents");
    EXPECT_EQ(missingLocal.ErrorText(), "InternetFtpPutFileError = 2");
    EXPECT_EQ(noLocalDir.ErrorText(), "FtpGetFileError = 3");
    EXPECT_EQ(injected.ErrorText(), "InternetFtpPutFileError = 123");
    EXPECT_EQ(injectedLogon.code, 12014u);
    EXPECT_EQ(server.Log().find("DELE"), std::string::npos);
    // Nothing is left behind beside the local files.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
}

TEST_F(FtpAgainstServer, OneConnectionCarriesSeveralRequestsAndDeletesNeverFail) {
    WriteTextFile(server.Root() + "/old.bin", "old");
    {
        auto connection = client.Connect(At(server.Port()));
        EXPECT_TRUE(connection->Delete("old.bin").ok);
        EXPECT_TRUE(connection->Delete("never-there.bin").ok);
        EXPECT_TRUE(connection->Put(local, "a.bin").ok);
        EXPECT_EQ(connection->Put(local, "nowhere/b.bin").code, 12003u);
        EXPECT_TRUE(connection->Put(local, "configs/c.bin").ok);
    }
    EXPECT_FALSE(std::filesystem::exists(server.Root() + "/old.bin"));
    EXPECT_TRUE(std::filesystem::exists(server.Root() + "/a.bin"));
    EXPECT_TRUE(std::filesystem::exists(server.Root() + "/configs/c.bin"));
    EXPECT_EQ(Sessions(server), 1u) << server.Log();
}

TEST(FtpLogon, UserAndPasswordAndTheWrongPassword) {
    PyFtpServer server("stager", "s3cret pass");
    if (!server.Ready()) {
        GTEST_SKIP() << "pyftpdlib is not available";
    }
    TempDir dir;
    WriteTextFile(dir.File("f"), "payload");
    CurlFtpClient client;
    EXPECT_TRUE(
        FtpPutFile(client, At(server.Port(), "stager", "s3cret pass"), dir.File("f"), "f").ok);
    EXPECT_EQ(ReadTextFile(server.Root() + "/f"), "payload");

    const FtpServer refused[] = {At(server.Port(), "stager", "wrong"), At(server.Port(), "", "")};
    for (const auto& login : refused) {
        FtpOutcome outcome = FtpPutFile(client, login, dir.File("f"), "g");
        EXPECT_EQ(outcome.ErrorText(), kWrongPasswordText) << login.login;
        EXPECT_EQ(outcome.label, "InternetConnectError");
    }
    // The server logs a refused logon just after it answered.
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (server.Log().find("USER 'anonymous'") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_NE(server.Log().find("USER 'anonymous'"), std::string::npos) << server.Log();
}

TEST(FtpUnreachable, RefusedSilentAndStoppedServers) {
    TempDir dir;
    WriteTextFile(dir.File("f"), "x");
    CurlFtpClient quick(FtpLimits{1000ms, 2s});
    unsigned closedPort = FreeTcpPort("127.0.0.1");
    EXPECT_EQ(FtpPutFile(quick, At(closedPort), dir.File("f"), "f").ErrorText(),
              "The attempt to connect to the server failed.");
    // A delete forgives the server's refusal, never a server it could not reach.
    EXPECT_EQ(FtpDeleteFile(quick, At(closedPort), "f").ErrorText(),
              "The attempt to connect to the server failed.");

    SilentServer silent;
    auto started = std::chrono::steady_clock::now();
    FtpOutcome timedOut = FtpGetFile(quick, At(silent.Port()), "f", dir.File("g"));
    EXPECT_EQ(timedOut.ErrorText(), "The request has timed out.");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);

    CurlFtpClient patient(FtpLimits{60000ms, 60s});
    std::stop_source stop;
    std::jthread stopper([&] {
        std::this_thread::sleep_for(300ms);
        stop.request_stop();
    });
    started = std::chrono::steady_clock::now();
    FtpOutcome stopped =
        FtpGetFile(patient, At(silent.Port()), "f", dir.File("g"), stop.get_token());
    EXPECT_EQ(stopped.code, 12017u);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
}

TEST(FtpPutConfiguration, PutsUnderTheConfigurationNameOrShowsTheText) {
    PyFtpServer server;
    if (!server.Ready()) {
        GTEST_SKIP() << "pyftpdlib is not available";
    }
    std::filesystem::create_directories(server.Root() + "/cfg");
    TestDocument t(
        "[Misc]\nFTPServerName=127.0.0.1\nFTPServerPort=" + std::to_string(server.Port()) +
        "\nFTPServerPath=cfg\nRegFileName=reg.txt\nFTPLogin=\nFTPPassword=\n");
    WriteTextFile(t.Dir().File("reg.txt.fil"), "filtered");
    CurlFtpClient client;
    EXPECT_TRUE(FtpPutConfiguration(t.Doc(), client, t.Dir().File("reg.txt.fil")));
    EXPECT_EQ(ReadTextFile(server.Root() + "/cfg/reg.txt"), "filtered");
    EXPECT_TRUE(t.Messages().Texts().empty());

    t.Doc().WriteINIValueStr("Misc", "FTPServerPath", "missing");
    EXPECT_FALSE(FtpPutConfiguration(t.Doc(), client, t.Dir().File("reg.txt.fil")));
    ASSERT_EQ(t.Messages().Texts().size(), 1u);
    EXPECT_EQ(t.Messages().Texts()[0].rfind("550 ", 0), 0u) << t.Messages().Texts()[0];
}

}  // namespace
