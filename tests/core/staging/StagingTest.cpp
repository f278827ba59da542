#include <arpa/inet.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <exception>
#include <filesystem>
#include <functional>
#include <thread>

#include "MissingPeer.h"
#include "NetworkTestSupport.h"
#include "PyFtpServer.h"
#include "TestDocument.h"
#include "TestFiles.h"
#include "core/settings/ProfileStore.h"
#include "core/staging/ExclusionList.h"
#include "core/staging/FilterConfigurationFile.h"
#include "core/staging/FilterIniFileTypes.h"
#include "core/staging/FtpStaging.h"
#include "core/staging/ProfileSectionReader.h"

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

// A server that takes connections and never says a word: nobody accepts on
// its listening socket.
class SilentServer {
public:
    SilentServer() {
        sockaddr_in sin{.sin_family = AF_INET, .sin_port = htons(static_cast<std::uint16_t>(port))};
        sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&sin), sizeof(sin));
        ::listen(m_fd, 4);
    }
    ~SilentServer() { ::close(m_fd); }
    const unsigned port = FreeTcpPort("127.0.0.1");

private:
    int m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
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
            SKIP_FOR_MISSING_PEER("pyftpdlib is not available");
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
        SKIP_FOR_MISSING_PEER("pyftpdlib is not available");
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
    FtpOutcome timedOut = FtpGetFile(quick, At(silent.port), "f", dir.File("g"));
    EXPECT_EQ(timedOut.ErrorText(), "The request has timed out.");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);

    CurlFtpClient patient(FtpLimits{60000ms, 60s});
    std::stop_source stop;
    std::jthread stopper([&] {
        std::this_thread::sleep_for(300ms);
        stop.request_stop();
    });
    started = std::chrono::steady_clock::now();
    FtpOutcome stopped = FtpGetFile(patient, At(silent.port), "f", dir.File("g"), stop.get_token());
    EXPECT_EQ(stopped.code, 12017u);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
}

using Items = std::vector<std::string>;

TEST(ProfileLine, QuotedAndPlainNames) {
    struct Case {
        const char* line;
        const char* name;
        const char* value;
    };
    const Case cases[] = {
        {R"("Serial Settings"=multi_sz:"a","b")", "Serial Settings", R"(multi_sz:"a","b")"},
        {"a=b=c", "a", "b=c"},
        {R"("a=b"=value)", "a=b", "value"},
        // Text between the closing quote and the "=" is dropped; the value is kept as it is.
        {R"("name" dropped= " kept" )", "name", R"( " kept" )"},
        {R"("never closed=x)", "", ""},
        {"no equals sign", "no equals sign", ""},
    };
    for (const Case& c : cases) {
        ProfileLine line("S", c.line);
        EXPECT_EQ(line.Section(), "S");
        EXPECT_EQ(line.Name(), c.name) << c.line;
        EXPECT_EQ(line.Value(), c.value) << c.line;
    }
}

TEST(MultiSzLine, DefinitionItems) {
    struct Case {
        const char* value;
        Items items;
    };
    const Case cases[] = {
        {"multi_sz:", {}},
        {R"(multi_sz:"HKEY_LOCAL_MACHINE\Net","IPAddress")",
         {R"(HKEY_LOCAL_MACHINE\Net)", "IPAddress"}},
        // The first nine characters are skipped whatever they are; text between items is ignored.
        {R"(123456789"a" junk "b","c")", {"a", "b", "c"}},
        {R"("a","b")", {}},
        {R"(multi_sz:"","b")", {"", "b"}},
        {R"(multi_sz:"a","unterminated)", {"a", "unterminated"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MultiSzLine("S", "name", c.value).Items(), c.items) << c.value;
    }
}

TEST(ProfileSectionReader, BufferLimitsOfBothSources) {
    ProfileStore store;
    TempDir dir;
    std::string file = dir.File("limits.ini");
    const std::string e = "\xC3\xA9";               // one wide character in two bytes
    const std::string beyond = "\xF0\x9F\x98\x80";  // two wide characters in four bytes
    auto repeat = [](const std::string& piece, std::size_t times) {
        std::string text;
        for (std::size_t i = 0; i < times; ++i) {
            text += piece;
        }
        return text;
    };
    struct Case {
        bool templateSource;
        std::string line;  // "k=" and the rest; the read counts it with its NUL
        bool fits;
    };
    const Case cases[] = {
        {false, "k=" + std::string(9994, 'x'), true},
        {false, "k=" + std::string(9995, 'x'), false},  // 9998 bytes
        {true, "k=" + std::string(4995, 'x'), false},   // 4998 wide characters
        {true, "k=" + repeat(e, 4994), true},
        {true, "k=" + repeat(e, 4995), false},
        {true, "k=" + repeat(beyond, 2497), true},
        {true, "k=" + repeat(beyond, 2497) + "x", false},
    };
    for (const Case& c : cases) {
        WriteTextFile(file, "[AvailableExclusions]\n" + c.line + "\n[Other]\nz=1\n");
        auto read = [&] {
            std::unique_ptr<SectionSource> source;
            if (c.templateSource) {
                source = std::make_unique<TemplateSectionSource>(store, "AvailableExclusions");
            } else {
                source = std::make_unique<SettingsSectionSource>(store, "AvailableExclusions");
            }
            std::vector<std::string> lines;
            for (std::string_view line : ProfileSectionReader(file, std::move(source))) {
                lines.emplace_back(line);
            }
            return lines;
        };
        if (c.fits) {
            EXPECT_EQ(read(), Items{c.line}) << c.line.size();
        } else {
            EXPECT_THROW(read(), FilterIniFileTypes::OutOfBufferMemException) << c.line.size();
        }
    }
}

// The filter run against the real plug-in, libRegFilter.so beside the tests.
using Items = std::vector<std::string>;

const std::string kHead = "REGEDIT4\r\n\r\n";
const std::string kNetKey = "[HKEY_LOCAL_MACHINE\\Software\\Terminal\\Network]\r\n";
const std::string kHost = "\"HostName\"=\"LOBBY-01\"\r\n";
const std::string kIp = "\"IPAddress\"=\"10.1.2.17\"\r\n";
const std::string kRoutes = "\"Routes\"=hex:0a,01,02,\\\r\n  11,00\r\n";
const std::string kBlank = "\r\n";
const std::string kWirelessKey = "[HKEY_LOCAL_MACHINE\\Software\\Terminal\\Network\\Wireless]\r\n";
const std::string kPassphrase = "\"Passphrase\"=\"s\"\r\n";
const std::string kWireless = kWirelessKey + kPassphrase + "\r\n";
// A sibling whose name begins like the key above, with other line ends.
const std::string kPrinters =
    "[HKEY_LOCAL_MACHINE\\Software\\Terminal\\NetworkPrinters]\n\"IPAddress\"=\"10.1.2.99\"";
const std::string kInput = kHead + kNetKey + kHost + kIp + kRoutes + kBlank + kWireless + kPrinters;
const std::string kNet = R"(HKEY_LOCAL_MACHINE\Software\Terminal\Network)";

std::string Utf16(const std::string& ascii) {
    std::string wide = "\xFF\xFE";
    for (char c : ascii) {
        wide += c;
        wide += '\0';
    }
    return wide;
}

class FilterRun : public ::testing::Test {
public:
    FilterRun()
        : t("[Misc]\nDnFilterBufferSize=0\n[CurrentExclusions]\nPrevious=\n"),
          input(t.Dir().File("terminal.reg")),
          templateFile(t.Dir().File("fleetwarden.tpl")),
          output(input + ".fil") {
        WriteTextFile(input, kInput);
        WriteTextFile(templateFile, "[Template-Version]\n\"Version\"=1.0\n");
    }
    void TemplateExclusions(const std::string& lines) {
        WriteTextFile(templateFile, "[AvailableExclusions]\n" + lines);
    }
    bool Run(const ExclusionList& list, std::vector<std::size_t> selected,
             const std::string& library = FilterLibraryPath()) {
        return FilterConfigurationFile(t.Doc(), {list, std::move(selected)}, input, templateFile,
                                       output, library);
    }
    Items Current() {
        Items names;
        for (const auto& line :
             t.State().Profiles().ReadSectionLines(t.SettingsPath(), "CurrentExclusions")) {
            names.push_back(ProfileLine("", line).Name());
        }
        return names;
    }

    TestDocument t;
    std::string input, templateFile, output;
};

TEST_F(FilterRun, RemovesPairsAndWholeKeysAndCopiesTheRestUnchanged) {
    struct Case {
        const char* what;
        std::string definition;
        std::string expected;
        bool utf16 = false;
    };
    const std::string q = "\"";
    const Case cases[] = {
        {"pairs", "multi_sz:\"" + kNet + "\",\"IPAddress\",\"" + kNet + "\",\"Routes\"",
         kHead + kNetKey + kHost + kBlank + kWireless + kPrinters},
        {"pairs in UTF-16", "multi_sz:\"" + kNet + "\",\"IPAddress\",\"" + kNet + "\",\"Routes\"",
         kHead + kNetKey + kHost + kBlank + kWireless + kPrinters, true},
        {"a whole key with its subkeys", "multi_sz:\"" + kNet + "\",\"*\"", kHead + kPrinters},
        {"an empty name is the whole key", "multi_sz:\"" + kNet + "\\Wireless\",\"\"",
         kHead + kNetKey + kHost + kIp + kRoutes + kBlank + kPrinters},
        {"keys and names without regard to case",
         R"(multi_sz:"hkey_local_machine\SOFTWARE\terminal\network\WIRELESS","passPHRASE")",
         kHead + kNetKey + kHost + kIp + kRoutes + kBlank + kWirelessKey + "\r\n" + kPrinters},
        // Paired with an empty name, the odd item would remove the whole key.
        {"an odd trailing item", "multi_sz:\"" + kNet + "\",\"HostName\",\"" + kNet + "\"",
         kHead + kNetKey + kIp + kRoutes + kBlank + kWireless + kPrinters},
        {"no items", "multi_sz:", kInput},
    };
    for (const Case& c : cases) {
        TemplateExclusions("\"X\"=" + c.definition + "\n");
        WriteTextFile(input, c.utf16 ? Utf16(kInput) : kInput);
        ASSERT_TRUE(Run({{"X"}, 1}, {0})) << c.what;
        EXPECT_EQ(ReadTextFile(output), c.utf16 ? Utf16(c.expected) : c.expected) << c.what;
    }
    EXPECT_TRUE(t.Messages().Texts().empty());
    struct stat st {};
    ASSERT_EQ(::stat(output.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // a configuration may hold passwords
}

TEST_F(FilterRun, EachFailureShowsItsMessageNamingItsFile) {
    struct Case {
        const char* what;
        std::function<void(FilterRun&)> arrange;
        std::function<std::string(FilterRun&)> message;
        Items current;  // "Previous" when the failure came before the section was rewritten
    };
    auto text = [](const char* s, std::string FilterRun::*file) {
        return [=](FilterRun& f) { return std::string(s) + "\n" + f.*file; };
    };
    const Items kept{"Previous"}, rewritten{"X"};
    const std::string filterError =
        "An Unknown Error Occured During Filtering Of The Registry File";
    const Case cases[] = {
        {"input missing", [](FilterRun& f) { f.input += ".missing"; },
         text("File Not Found", &FilterRun::input), kept},
        {"input a directory", [](FilterRun& f) { f.input = f.t.Dir().Path(); },
         text("Could Not Read File.", &FilterRun::input), kept},
        {"input no registry export",
         [](FilterRun& f) { WriteTextFile(f.input, "[Network]\nDHCP=1\n"); },
         text("Could Not Read File.", &FilterRun::input), rewritten},
        {"output over the input", [](FilterRun& f) { f.output = f.input; },
         text("Could Not Write File.", &FilterRun::input), kept},
        {"input beyond the buffer",
         [](FilterRun& f) { f.t.Doc().WriteINIValueStr("Misc", "DnFilterBufferSize", "16"); },
         text("Out Of Buffer Memory (Internal)", &FilterRun::input), kept},
        {"template missing", [](FilterRun& f) { f.templateFile += ".missing"; },
         text("Could Not Read File.", &FilterRun::templateFile), kept},
        {"template beyond the buffer",
         [](FilterRun& f) {
             std::string size = std::to_string(kInput.size());
             f.t.Doc().WriteINIValueStr("Misc", "DnFilterBufferSize", size);
             f.TemplateExclusions("; " + std::string(kInput.size(), '-') + "\n\"X\"=multi_sz:\n");
         },
         text("Out Of Buffer Memory (Internal)", &FilterRun::templateFile), kept},
        {"output directory missing", [](FilterRun& f) { f.output = f.t.Dir().File("no/out.fil"); },
         text("Could Not Write File.", &FilterRun::output), rewritten},
        {"template definition too long",
         [](FilterRun& f) { f.TemplateExclusions("\"X\"=" + std::string(2000, 'x') + "\n"); },
         [&](FilterRun&) { return filterError; },
         {}},
        {"library missing", nullptr,
         [](FilterRun&) { return std::string("libRegFilter.so Is Missing"); }, kept},
        {"library without the factory", nullptr,
         [](FilterRun&) { return std::string("libRegFilter.so Is Missing"); }, kept},
    };
    Dl_info runtime{};
    ASSERT_NE(::dladdr(reinterpret_cast<void*>(&std::terminate), &runtime), 0);
    const std::string libraries[] = {t.Dir().File("libRegFilter.so"), runtime.dli_fname};
    std::size_t library = 0;
    for (const Case& c : cases) {
        FilterRun& f = *this;
        f.input = t.Dir().File("terminal.reg");
        f.templateFile = t.Dir().File("fleetwarden.tpl");
        f.output = f.input + ".fil";
        WriteTextFile(f.input, kInput);
        TemplateExclusions("\"X\"=multi_sz:\"" + kNet + "\",\"*\"\n");
        t.Doc().WriteINIValueStr("Misc", "DnFilterBufferSize", "0");
        t.Doc().DeleteINISection("CurrentExclusions");
        t.Doc().WriteINIValueStr("CurrentExclusions", "Previous", "");
        t.Messages().Clear();
        std::string path = FilterLibraryPath();
        if (c.arrange) {
            c.arrange(f);
        } else {
            path = libraries[library++];
        }
        EXPECT_FALSE(Run({{"X"}, 1}, {0}, path)) << c.what;
        EXPECT_EQ(t.Messages().Texts(), Items{c.message(f)}) << c.what;
        EXPECT_EQ(t.Messages().Icons(), std::vector{MessageIcon::Warning}) << c.what;
        EXPECT_EQ(Current(), c.current) << c.what;
    }
}

// Every chosen exclusion is applied and recorded: more than a hundred of them,
// and settings-file definitions longer than an ordinary read returns.
TEST_F(FilterRun, AppliesAndRecordsEveryChosenExclusion) {
    std::string settings = "[Misc]\nDnFilterBufferSize=0\n[AvailableExclusions]\n";
    std::string values, longDefinition = "multi_sz:";
    ExclusionList list;
    std::vector<std::size_t> all;
    for (int i = 0; i < 120; ++i) {
        std::string name = "V" + std::to_string(i);
        values += "\"" + name + "\"=dword:00000001\r\n";
        if (i < 110) {
            settings += "E" + name + "=multi_sz:\"" + kNet + "\",\"" + name + "\"\n";
            list.names.push_back("E" + name);
            all.push_back(list.names.size() - 1);
        } else {
            longDefinition += "\"" + kNet + "\",\"" + name + "\",";
        }
    }
    ASSERT_GT(longDefinition.size(), 254u);
    WriteTextFile(t.SettingsPath(), settings + "Long=" + longDefinition + "\n");
    list.names.push_back("Long");
    all.push_back(list.names.size() - 1);
    WriteTextFile(input, kHead + kNetKey + values + kBlank + kPrinters);

    ASSERT_TRUE(Run(list, all));
    EXPECT_EQ(ReadTextFile(output), kHead + kNetKey + kBlank + kPrinters);
    EXPECT_EQ(Current(), list.names);
    // Missing from the settings file: reported, and it removes nothing.
    list.names.push_back("Gone");
    ASSERT_TRUE(Run(list, {list.names.size() - 1}));
    EXPECT_EQ(t.Messages().Texts(), Items{"GetINIValueStr:AvailableExclusions:Gone:Not Found"});
}

// A template definition may be 1997 characters long, not one more.
TEST_F(FilterRun, AnOversizedTemplateDefinitionKeepsTheNamesRecordedBeforeIt) {
    TemplateExclusions("\"A\"=multi_sz:\n\"B\"=multi_sz:" + std::string(1988, 'x') +
                       "\n\"C\"=" + std::string(1998, 'x') + "\n");
    EXPECT_FALSE(Run({{"A", "B", "C"}, 3}, {2, 0, 1}));
    EXPECT_EQ(Current(), (Items{"A", "B"}));
}

}  // namespace
