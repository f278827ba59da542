#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <optional>
#include <thread>

#include "FakeSnmpManager.h"
#include "TestDocument.h"
#include "TestFiles.h"
#include "core/common/Sentinel.h"
#include "core/settings/ProfileDocument.h"
#include "core/settings/ProfileFileAccess.h"
#include "core/settings/ProfileStore.h"
#include "core/settings/SettingsPath.h"
#include "core/snmp/SnmpManager.h"

namespace {

const char* const kSettings =
    "; administrator's note\n"
    "[Misc]\n"
    "FTPServerName=\n"
    "Stored=NoneNoneNone\n"
    "GetCommunity=public\n"
    "\n"
    "[OID]\n"
    "OidSysName=.1.3.6.1.2.1.1.5.0\n"
    "OidSysObjID=.1.3.6.1.2.1.1.2.0\n"
    "OidRedirected=Product\n"
    "OidMissingThere=Product\n"
    "EntOidPlatForm=PRODUCTSPECIFIC\n"
    "OidNotApplicable=N/A\n"
    "[Product]\n"
    "OidRedirected=.1.3.6.1.4.1.32473.5\n"
    "[OTHER]\n"
    "EntOidPlatForm=.7.1.0\n"
    "[TRK2200OLD]\n"
    "OidSysName=.1.3.6.1.4.1.32473.22.1\n";

// An empty value is a value; a missing one, or the sentinel stored, is
// reported once per read with the warning icon. Values read back cut to 254
// characters, and what another program changed on disk is seen at once.
TEST(Settings, ReadsReportWhatIsMissingAndSeeTheFileAsItIs) {
    TestDocument t(kSettings);
    EXPECT_EQ(t.Doc().GetINIValueStr("misc", "ftpservername", IfMissing::Report), "");
    EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "Absent", IfMissing::Silent), "NoneNoneNone");
    EXPECT_TRUE(t.Messages().Texts().empty());
    EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "Absent", IfMissing::Report), "GetINIValueStrError");
    EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "Stored", IfMissing::Report), "GetINIValueStrError");
    EXPECT_EQ(t.Messages().Texts(),
              (std::vector<std::string>{"GetINIValueStr:Misc:Absent:Not Found",
                                        "GetINIValueStr:Misc:Stored:Not Found"}));
    EXPECT_EQ(t.Messages().Icons(),
              (std::vector<MessageIcon>{MessageIcon::Warning, MessageIcon::Warning}));

    std::string longValue(300, 'x');
    longValue[253] = 'y';
    WriteTextFile(t.SettingsPath(),
                  "[Misc]\nGetCommunity=edited-outside\nLong=" + longValue + "\n");
    EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "GetCommunity", IfMissing::Silent), "edited-outside");
    EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "Long", IfMissing::Silent), longValue.substr(0, 254));
}

// Writes keep the file's mode (a new file is owner-only: it holds the write
// community and the FTP password); a value that would split into two lines,
// or a file that cannot be written, is reported. (What a write keeps of the
// text: the ProfileDocument cases.)
TEST(Settings, WritesKeepTheFileAndReportWhatTheyCannotDo) {
    TestDocument t(kSettings);
    t.Doc().WriteINIValueStr("Misc", "FTPLogin", "admin\n[Evil]\nx=1");
    EXPECT_EQ(t.Messages().Texts().size(), 1u);
    EXPECT_EQ(t.Doc().GetINIValueStr("Evil", "x", IfMissing::Silent), "NoneNoneNone");
    EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "FTPLogin", IfMissing::Silent), "NoneNoneNone");

    std::string fresh = t.Dir().File("fresh.ini");
    SharedState state(fresh);
    CTarnDoc doc(t.Messages(), NetSnmpManager(), state);
    doc.WriteINIValueStr("Misc", "FTPPassword", "0002412f");
    struct stat st {};
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ::chmod(fresh.c_str(), 0640);
    doc.WriteINIValueStr("Misc", "FTPLogin", "admin");
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(doc.GetINIValueStr("Misc", "FTPPassword", IfMissing::Report), "0002412f");

    t.Messages().Clear();
    std::string nowhere = t.Dir().File("no-such-directory/settings.ini");
    SharedState elsewhere(nowhere);
    CTarnDoc(t.Messages(), NetSnmpManager(), elsewhere).WriteINIValueStr("Misc", "Key", "value");
    EXPECT_EQ(t.Messages().Texts(),
              std::vector<std::string>{"The settings file " + nowhere +
                                       " could not be written: No such file or directory"});
    EXPECT_EQ(t.Messages().Icons(), std::vector<MessageIcon>{MessageIcon::Warning});
}

TEST(Settings, ReadsUtf16TemplatesAndKeepsTheirEncodingOnWrite) {
    TestDocument t(kSettings);
    std::string path = t.Dir().File("wide.tpl");
    std::string text = "[Template-Version]\r\n\"Version\"=2.0\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : text) {
        utf16 += c;
        utf16 += '\0';
    }
    WriteTextFile(path, utf16);
    ProfileStore& store = t.State().Profiles();
    EXPECT_EQ(store.Read(path, "template-version", "\"Version\""), "2.0");
    EXPECT_FALSE(store.Write(path, "Template-Version", "Extra", "x").has_value());
    std::string written = ReadTextFile(path);
    EXPECT_EQ(written.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(store.Read(path, "Template-Version", "Extra"), "x");
}

TEST(SettingsPath, ReplacesTheProgramsExtensionOrAppendsOne) {
    EXPECT_EQ(SiblingFileWithExtension("/opt/fw/fleetwarden", "ini"), "/opt/fw/fleetwarden.ini");
    EXPECT_EQ(SiblingFileWithExtension("/opt/fw/Console.bin", "ini"), "/opt/fw/Console.ini");
    // A dot in a directory name is not an extension.
    EXPECT_EQ(SiblingFileWithExtension("/opt/fw.d/fleetwarden-cli", "tpl"),
              "/opt/fw.d/fleetwarden-cli.tpl");
    // A build's programs sit in a writable folder with no installed default.
    EXPECT_EQ(ResolveSettingsPath(""), SiblingFileWithExtension(ExecutablePath(), "ini"));
}

TEST(SettingsPath, AnInstalledProgramKeepsItsSettingsInTheUsersFolder) {
    TempDir dir;
    const std::string program = dir.File("fleetwarden"), beside = program + ".ini";
    const std::string user = dir.File("cfg/fleetwarden/fleetwarden.ini");
    const struct {
        const char* given;
        bool writable, installedDefault, fileBeside;
        std::string expected;
    } cases[] = {
        {"/etc/site.ini", false, true, false, "/etc/site.ini"},
        {"", true, false, false, beside},
        {"", false, false, true, user},
        {"", true, true, false, user},  // root may write /usr/bin, but it is installed
        {"", true, true, true, beside},
    };
    for (const auto& c : cases) {
        std::remove(beside.c_str());
        if (c.fileBeside) {
            WriteTextFile(beside, "");
        }
        SettingsPlace place{program, c.writable, c.installedDefault ? "/usr/share/d.ini" : "",
                            dir.File("cfg")};
        EXPECT_EQ(ChooseSettingsPath(c.given, place), c.expected) << c.writable << c.fileBeside;
    }
    EXPECT_EQ(UserConfigHome("/x/cfg", "/home/u"), "/x/cfg");
    EXPECT_EQ(UserConfigHome(nullptr, "/home/u"), "/home/u/.config");
    EXPECT_EQ(UserConfigHome("relative", "/home/u"), "/home/u/.config");

    // The first start copies the default, owner-only; later ones never overwrite.
    WriteTextFile(dir.File("default.ini"), "[Misc]\nGetCommunity=public\n");
    WriteTextFile(dir.File("changed.ini"), "[Misc]\nGetCommunity=site\n");
    EXPECT_TRUE(CopyIfMissing(dir.File("default.ini"), dir.File("mine.ini")));
    EXPECT_TRUE(CopyIfMissing(dir.File("changed.ini"), dir.File("mine.ini")));
    EXPECT_EQ(ReadTextFile(dir.File("mine.ini")), "[Misc]\nGetCommunity=public\n");
    struct stat info {};
    ASSERT_EQ(::stat(dir.File("mine.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_FALSE(CopyIfMissing(dir.File("none.ini"), dir.File("other.ini")));
}

// Dotted values, a redirection to the product's section, PRODUCTSPECIFIC to
// OTHER for a product that is not known; a name missing in the end is
// reported under the OID section, not the one it was redirected to. The older
// model's section is a thread's own.
TEST(OidNames, DottedValuesRedirectionSectionsAndNotFoundTexts) {
    FakeSnmpManager silent;  // no terminal answers: the product is unknown
    silent.openOk = false;
    TestDocument t(kSettings, &silent);
    for (auto [name, oid] : {std::pair{"oidsysname", ".1.3.6.1.2.1.1.5.0"},
                             {"OidRedirected", ".1.3.6.1.4.1.32473.5"},
                             {"EntOidPlatForm", ".7.1.0"},
                             {"OidNotApplicable", "OidStrError"},
                             {"OidMissingThere", "OidStrError"},
                             {"OidAbsent", "OidStrError"}}) {
        EXPECT_EQ(t.Doc().GetOidFromStr(name, "127.0.0.9"), oid) << name;
    }
    EXPECT_EQ(t.Messages().Texts(),
              (std::vector<std::string>{"GetOidFromStr:OID:OidNotApplicable:Not Found",
                                        "GetOidFromStr:OID:OidMissingThere:Not Found",
                                        "GetOidFromStr:OID:OidAbsent:Not Found"}));
    EXPECT_EQ(t.Messages().Icons(), std::vector<MessageIcon>(3, MessageIcon::Warning));
    // The older model's section applies only to the thread that switched to it.
    std::string other;
    {
        OidSectionSwitch older(t.State().OidSection(), "TRK2200OLD");
        EXPECT_EQ(t.Doc().GetOidFromStr("OidSysName", "127.0.0.9"), ".1.3.6.1.4.1.32473.22.1");
        std::thread worker([&] { other = t.Doc().GetOidFromStr("OidSysName", "127.0.0.9"); });
        worker.join();
    }
    EXPECT_EQ(other, ".1.3.6.1.2.1.1.5.0");
    EXPECT_EQ(t.State().OidSection().Get(), "OID");
}

TEST(OidNames, AProductObjectThatRedirectsToItsOwnProductIsNotFoundOnce) {
    // The product is found by reading OidSysObjID, so that name cannot itself
    // depend on the product, in either OID section.
    const std::string settings =
        "[OID]\n"
        "OidSysObjID=PRODUCTSPECIFIC\n"
        "OidSysName=PRODUCTSPECIFIC\n"
        "[TRK2200OLD]\n"
        "oidsysobjid=PRODUCTSPECIFIC\n"
        "[OTHER]\n"
        "OidSysName=.1.3.6.1.2.1.1.5.0\n";
    const std::string unconvertible =
        "Could not properly convert OID to object - GetSnmpMgrStrToOidError";
    struct Case {
        const char* section;
        const char* name;
        std::string result;
    };
    for (const auto& c : {Case{"OID", "OidSysObjID", unconvertible},
                          Case{"TRK2200OLD", "OidSysObjID", unconvertible},
                          // Another product-specific name goes to OTHER, the product unknown.
                          Case{"OID", "OidSysName", "far away"}}) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.name);
        FakeSnmpManager snmp;
        snmp.values[".1.3.6.1.2.1.1.5.0"] = FakeSnmpManager::Text("far away");
        TestDocument t(settings, &snmp);
        OidSectionSwitch section(t.State().OidSection(), c.section);
        EXPECT_EQ(t.Doc().GetSnmpValue("127.0.0.9", c.name), c.result);
        EXPECT_EQ(t.Messages().Texts(),
                  std::vector<std::string>{"GetOidFromStr:" + std::string(c.section) +
                                           ":OidSysObjID:Not Found"});
    }
}

TEST(Settings, PortsOutsideOneTo65535AreReportedAndNotUsed) {
    struct Case {
        const char* line;  // the SnmpPort line of section Misc, if any
        std::optional<unsigned> port;
    };
    for (const auto& c :
         {Case{"", 161}, Case{"SnmpPort=\n", 161}, Case{"SnmpPort=16161\n", 16161},
          Case{"SnmpPort=1\n", 1}, Case{"SnmpPort=65535\n", 65535}, Case{"SnmpPort=99999\n", {}},
          Case{"SnmpPort=65536\n", {}}, Case{"SnmpPort=0\n", {}}, Case{"SnmpPort=-161\n", {}},
          Case{"SnmpPort=161x\n", {}}, Case{"SnmpPort=4294967457\n", {}}}) {
        SCOPED_TRACE(c.line);
        FakeSnmpManager snmp;
        snmp.values[".1.3.6.1.2.1.1.5.0"] = FakeSnmpManager::Text("T1");
        TestDocument t(std::string("[Misc]\n") + c.line + "[OID]\nOidSysName=.1.3.6.1.2.1.1.5.0\n",
                       &snmp);
        std::string problem;
        EXPECT_EQ(t.Doc().GetPortSetting("SnmpPort", 161, problem), c.port);
        std::string get = t.Doc().GetSnmpValue("127.0.0.9", "OidSysName");
        std::string set = t.Doc().SetSnmpValue("127.0.0.9", "OidSysName", "T2");
        t.Doc().GetSnmpValue("127.0.0.9", "OidSysName");
        if (c.port) {
            EXPECT_EQ(get, "T1");
            ASSERT_FALSE(snmp.Opens().empty());
            EXPECT_EQ(snmp.Opens()[0].port, *c.port);
            EXPECT_TRUE(t.Messages().Texts().empty());
            continue;
        }
        // No session at all, and one report however many requests fail.
        EXPECT_TRUE(snmp.Opens().empty());
        EXPECT_EQ(get, "Snmp Open - Unknown SnmpMgrOpen Function Error = 0 - SnmpMgrOpenError");
        EXPECT_EQ(set, "SnmpMgrOpenError");
        std::string value = std::string(c.line).substr(9, std::string(c.line).size() - 10);
        EXPECT_EQ(problem, "The setting SnmpPort=" + value +
                               " in section Misc of the settings file " + t.SettingsPath() +
                               " is not a port number from 1 to 65535; it is not used");
        EXPECT_EQ(t.Messages().Texts(), std::vector<std::string>{problem});
        EXPECT_EQ(t.Messages().Icons(), std::vector<MessageIcon>{MessageIcon::Warning});
    }
}

TEST(SettingsConcurrency, ReadersSeeEveryWriteWhileWritersChangeOtherKeys) {
    TestDocument t(kSettings);
    std::atomic<bool> stop{false};
    std::atomic<int> wrongReads{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            while (!stop) {
                if (t.Doc().GetINIValueStr("OID", "OidSysName", IfMissing::Silent) !=
                    ".1.3.6.1.2.1.1.5.0") {
                    ++wrongReads;
                }
            }
        });
    }
    std::vector<std::thread> writers;
    for (int w = 0; w < 2; ++w) {
        writers.emplace_back([&, w] {
            for (int i = 0; i < 100; ++i) {
                std::string key = "Writer" + std::to_string(w);
                t.Doc().WriteINIValueStr("Misc", key, std::to_string(i));
                // A write is visible to the next read on the same or another thread.
                if (t.Doc().GetINIValueStr("Misc", key, IfMissing::Silent) != std::to_string(i)) {
                    ++wrongReads;
                }
            }
        });
    }
    for (auto& w : writers) {
        w.join();
    }
    stop = true;
    for (auto& r : readers) {
        r.join();
    }
    EXPECT_EQ(wrongReads, 0);
    EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "Writer0", IfMissing::Silent), "99");
    EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "Writer1", IfMissing::Silent), "99");
    EXPECT_TRUE(t.Messages().Texts().empty());
}

// The settings file when it cannot serve: missing, not a file, too large,
// unreadable for a moment; and two processes writing it at once.
const char* const kKept =
    "; kept\n"
    "[Misc]\n"
    "GetCommunity=public\n"
    "[OID]\n"
    "OidSysName=.1.3.6.1.2.1.1.5.0\n";

// Uses up every file handle the process may open, as a process that leaks them
// would, until the end of the scope.
class FileHandlesExhausted {
public:
    FileHandlesExhausted() {
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        constexpr int kLimit = 64;
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) {
            if (fd >= kLimit) {
                ::close(fd);
                break;
            }
            m_fds.push_back(fd);
        }
        rlimit lowered = m_saved;
        lowered.rlim_cur = kLimit;
        ::setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~FileHandlesExhausted() {
        ::setrlimit(RLIMIT_NOFILE, &m_saved);
        for (int fd : m_fds) {
            ::close(fd);
        }
    }

private:
    rlimit m_saved{};
    std::vector<int> m_fds;
};

TEST(SettingsFile, AFileThatCannotServeIsReportedOnceAndNeverReplaced) {
    struct Case {
        const char* what;
        std::function<void(const std::string& path)> make;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"missing", [](const std::string&) {}, "No such file or directory"},
        {"directory", [](const std::string& p) { ::mkdir(p.c_str(), 0700); }, "Is a directory"},
        {"FIFO", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); },
         "it is not a regular file"},
        {"symbolic link loop", [](const std::string& p) { ::symlink(p.c_str(), p.c_str()); },
         "Too many levels of symbolic links"},
        {"too large",
         [](const std::string& p) {
             WriteTextFile(p, "[Misc]\nGetCommunity=public\n");
             ::truncate(p.c_str(), kMaxProfileFileBytes + 1);
         },
         "it is larger than 16 MB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestDocument t(kKept);
        std::string path = t.Dir().File("bad.ini");
        c.make(path);
        struct stat before {};
        bool existed = ::lstat(path.c_str(), &before) == 0;
        SharedState state(path);
        CTarnDoc doc(t.Messages(), NetSnmpManager(), state);

        // Many reads, one report, and no "Not Found" for each key.
        EXPECT_EQ(doc.GetINIValueStr("Misc", "GetCommunity", IfMissing::Report),
                  "GetINIValueStrError");
        EXPECT_EQ(doc.GetINIValueStr("Misc", "FTPServerName", IfMissing::Report),
                  "GetINIValueStrError");
        EXPECT_EQ(doc.GetINIValueStr("Misc", "DiscoverMethod", IfMissing::Silent), "NoneNoneNone");
        EXPECT_EQ(doc.GetOidFromStr("OidSysName", "127.0.0.9"), "OidStrError");
        const std::string report = "The settings file " + path + " could not be read: " + c.reason;
        EXPECT_EQ(t.Messages().Texts(), std::vector<std::string>{report});
        EXPECT_EQ(t.Messages().Icons(), std::vector<MessageIcon>{MessageIcon::Warning});

        // A write creates a missing file; anything else stays as it was.
        t.Messages().Clear();
        doc.WriteINIValueStr("Misc", "FTPLogin", "admin");
        struct stat after {};
        if (!existed) {
            EXPECT_TRUE(t.Messages().Texts().empty());
            EXPECT_EQ(doc.GetINIValueStr("Misc", "FTPLogin", IfMissing::Report), "admin");
            continue;
        }
        EXPECT_EQ(t.Messages().Texts(),
                  std::vector<std::string>{"The settings file " + path +
                                           " could not be written: " + c.reason});
        ASSERT_EQ(::lstat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_size, before.st_size);
    }
}

TEST(SettingsFile, AFailedReadIsNotKeptAndTheFileIsNotReplacedByWhatWasMissed) {
    TestDocument t(kKept);
    CTarnDoc& doc = t.Doc();
    const std::string& path = t.SettingsPath();
    EXPECT_EQ(doc.GetINIValueStr("Misc", "GetCommunity", IfMissing::Report), "public");
    // Changed on disk, so the next read must load it again, and cannot. (Only
    // the store runs without handles: the sanitizers' own checks need some.)
    WriteTextFile(path, std::string(kKept) + "Added=1\n");
    ProfileLookup lookup;
    std::optional<std::string> refused;
    {
        FileHandlesExhausted exhausted;
        lookup = t.State().Profiles().Lookup(path, "Misc", "GetCommunity");
        refused = t.State().Profiles().Write(path, "Misc", "DuringTheFailure", "x");
    }
    EXPECT_FALSE(lookup.value.has_value());
    EXPECT_EQ(lookup.fileProblem, "Too many open files");
    EXPECT_EQ(refused, "Too many open files");

    // Once handles are free again, the file reads whole and a write keeps it whole.
    EXPECT_EQ(doc.GetINIValueStr("Misc", "GetCommunity", IfMissing::Report), "public");
    EXPECT_EQ(doc.GetINIValueStr("OID", "Added", IfMissing::Report), "1");
    doc.WriteINIValueStr("Misc", "Later", "2");
    EXPECT_EQ(ReadTextFile(path),
              "; kept\n[Misc]\nGetCommunity=public\nLater=2\n[OID]\n"
              "OidSysName=.1.3.6.1.2.1.1.5.0\nAdded=1\n");
    EXPECT_TRUE(t.Messages().Texts().empty());
}

TEST(SettingsConcurrency, TwoProcessesWritingDifferentKeysLoseNothing) {
    TestDocument t(kKept);
    const std::string path = t.SettingsPath();
    constexpr int kKeys = 150;
    auto key = [](int writer, int i) {
        return "W" + std::to_string(writer) + "K" + std::to_string(i);
    };
    std::vector<pid_t> writers;
    for (int w = 0; w < 2; ++w) {
        pid_t pid = ::fork();
        if (pid == 0) {
            ProfileStore store;
            for (int i = 0; i < kKeys; ++i) {
                if (store.Write(path, "Misc", key(w, i), std::to_string(i))) {
                    ::_exit(1);
                }
            }
            ::_exit(0);
        }
        writers.push_back(pid);
    }
    for (pid_t pid : writers) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ProfileStore store;
    int lost = 0;
    for (int w = 0; w < 2; ++w) {
        for (int i = 0; i < kKeys; ++i) {
            lost += store.Read(path, "Misc", key(w, i)) != std::to_string(i);
        }
    }
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(store.Read(path, "Misc", "GetCommunity"), "public");
}

const char* const kSample =
    "; comment at the top\n"
    "[Misc]\n"
    "GetCommunity = public\n"
    "Empty=\n"
    "Quoted=\"  spaced  \"\n"
    "Equation=a=b=c\n"
    "\n"
    "; a comment between sections\n"
    "[Other]\n"
    "Key=value\n";

// Sections and keys without regard to case, the first of two equal keys,
// and only a line beginning with ";" is a comment.
TEST(ProfileDocument, LooksUpLikeThePlatformsProfileFiles) {
    auto doc = ProfileDocument::Parse(kSample);
    EXPECT_EQ(doc.Get("MISC", "GETCOMMUNITY"), "public");
    EXPECT_EQ(doc.Get("Misc", "Empty"), "");
    EXPECT_EQ(doc.Get("Misc", "Quoted"), "  spaced  ");
    EXPECT_EQ(doc.Get("Misc", "Equation"), "a=b=c");
    EXPECT_FALSE(doc.Get("Misc", "Missing").has_value());
    EXPECT_FALSE(doc.Get("Absent", "Key").has_value());
    // A key of another section is not found through this one.
    EXPECT_FALSE(doc.Get("Misc", "Key").has_value());
    EXPECT_EQ(ProfileDocument::Parse("[A]\nk=first\nK=second\n").Get("A", "k"), "first");

    doc = ProfileDocument::Parse(
        "[S]\n#Ports=1\n  # spaced = 2\n;Hidden=3\n\n  ;Indented=4\nPlain=5 ; not a comment\n");
    EXPECT_EQ(doc.Get("S", "#Ports"), "1");
    EXPECT_EQ(doc.Get("S", "# spaced"), "2");
    EXPECT_FALSE(doc.Get("S", ";Hidden").has_value());
    EXPECT_FALSE(doc.Get("S", "Hidden").has_value());
    EXPECT_FALSE(doc.Get("S", "Indented").has_value());
    EXPECT_EQ(doc.SectionLines("s"),
              (std::vector<std::string>{"#Ports=1", "# spaced = 2", "Plain=5 ; not a comment"}));
    EXPECT_TRUE(doc.SectionLines("none").empty());
}

// Everything else stays in place: comments, order, the key's spelling, line
// ends and a missing final newline; deleting takes a whole section only.
TEST(ProfileDocument, ChangesKeepEverythingElseInPlace) {
    auto doc = ProfileDocument::Parse(kSample);
    doc.Set("misc", "GETCOMMUNITY", "secret");
    doc.Set("Misc", "NewKey", "new");
    doc.Set("Third", "A", "1");
    EXPECT_EQ(doc.Serialize(),
              "; comment at the top\n"
              "[Misc]\n"
              "GetCommunity = secret\n"
              "Empty=\n"
              "Quoted=\"  spaced  \"\n"
              "Equation=a=b=c\n"
              "NewKey=new\n"
              "\n"
              "; a comment between sections\n"
              "[Other]\n"
              "Key=value\n"
              "\n"
              "[Third]\n"
              "A=1\n");
    EXPECT_TRUE(doc.DeleteSection("MISC"));
    EXPECT_FALSE(doc.DeleteSection("Misc"));
    EXPECT_EQ(doc.Serialize().find("GetCommunity"), std::string::npos);
    EXPECT_EQ(doc.Get("Other", "Key"), "value");

    doc = ProfileDocument::Parse("[A]\r\nx=1\r\nk=first\r\nK=second");
    doc.Set("A", "k", "changed");
    EXPECT_EQ(doc.Serialize(), "[A]\r\nx=1\r\nk=changed\r\nK=second");
}

}  // namespace
