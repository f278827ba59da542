// The settings file when it cannot serve: missing, not a file, too large,
// unreadable for a moment; and two processes writing it at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "TestDocument.h"
#include "core/settings/ProfileFileAccess.h"
#include "core/settings/ProfileStore.h"
#include "core/settings/SettingsPath.h"
#include "core/snmp/SnmpManager.h"

namespace {

const char* const kSettings =
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
        TestDocument t(kSettings);
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
    TestDocument t(kSettings);
    CTarnDoc& doc = t.Doc();
    const std::string& path = t.SettingsPath();
    EXPECT_EQ(doc.GetINIValueStr("Misc", "GetCommunity", IfMissing::Report), "public");
    // Changed on disk, so the next read must load it again, and cannot. (Only
    // the store runs without handles: the sanitizers' own checks need some.)
    WriteTextFile(path, std::string(kSettings) + "Added=1\n");
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
    TestDocument t(kSettings);
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

}  // namespace
