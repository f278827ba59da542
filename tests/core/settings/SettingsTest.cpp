#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <optional>
#include <thread>

#include "FakeSnmpManager.h"
#include "TestDocument.h"
#include "TestFiles.h"
#include "core/common/Sentinel.h"
#include "core/settings/LocalHost.h"
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

TEST(Settings, EmptyValueIsNotMissingAndTheSentinelReadsAsMissing) {
    TestDocument t(kSettings);
    EXPECT_EQ(t.Doc().GetINIValueStr("misc", "ftpservername", IfMissing::Report), "");
    EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "Absent", IfMissing::Silent), "NoneNoneNone");
    EXPECT_TRUE(t.Messages().Texts().empty());

    EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "Absent", IfMissing::Report), "GetINIValueStrError");
    EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "Stored", IfMissing::Report), "GetINIValueStrError");
    EXPECT_EQ(t.Messages().Texts(),
              (std::vector<std::string>{"GetINIValueStr:Misc:Absent:Not Found",
                                        "GetINIValueStr:Misc:Stored:Not Found"}));
    // Not a completion message: the warning icon.
    EXPECT_EQ(t.Messages().Icons(),
              (std::vector<MessageIcon>{MessageIcon::Warning, MessageIcon::Warning}));
}

TEST(Settings, LongValuesReadBackCutTo254Characters) {
    TestDocument t(kSettings);
    std::string longValue(300, 'x');
    longValue[253] = 'y';
    t.Doc().WriteINIValueStr("Misc", "Long", longValue);
    std::string read = t.Doc().GetINIValueStr("Misc", "Long", IfMissing::Silent);
    EXPECT_EQ(read.size(), 254u);
    EXPECT_EQ(read.back(), 'y');
    // The file itself keeps the whole value.
    EXPECT_NE(ReadTextFile(t.SettingsPath()).find(longValue), std::string::npos);
}

TEST(Settings, WritesKeepCommentsAndOrderAndDeleteWholeSections) {
    TestDocument t(kSettings);
    t.Doc().WriteINIValueStr("MISC", "getcommunity", "changed");
    t.Doc().WriteINIValueStr("CurrentExclusions", "Serial", "");
    t.Doc().WriteINIValueStr("CurrentExclusions", "Audio", "");
    std::string text = ReadTextFile(t.SettingsPath());
    EXPECT_EQ(text.rfind("; administrator's note\n[Misc]\nFTPServerName=\n", 0), 0u) << text;
    EXPECT_NE(text.find("GetCommunity=changed\n"), std::string::npos);
    EXPECT_NE(text.find("[CurrentExclusions]\nSerial=\nAudio=\n"), std::string::npos);

    // "#" begins no comment: such a key is written and read like any other.
    t.Doc().WriteINIValueStr("Misc", "#Ports", "9");
    EXPECT_EQ(t.Doc().GetINIValueStr("misc", "#ports", IfMissing::Report), "9");

    t.Doc().DeleteINISection("currentexclusions");
    EXPECT_EQ(t.Doc().GetINIValueStr("CurrentExclusions", "Serial", IfMissing::Silent),
              "NoneNoneNone");
    EXPECT_EQ(t.Doc().GetINIValueStr("OID", "OidSysName", IfMissing::Silent), ".1.3.6.1.2.1.1.5.0");
    EXPECT_TRUE(t.Messages().Texts().empty());
}

TEST(Settings, ANewFileIsCreatedOwnerOnlyAndAnExistingModeIsKept) {
    TestDocument t(kSettings);
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
}

TEST(Settings, ARefusedWriteIsReportedWithFileAndReason) {
    TestDocument t(kSettings);
    std::string nowhere = t.Dir().File("no-such-directory/settings.ini");
    SharedState state(nowhere);
    CTarnDoc(t.Messages(), NetSnmpManager(), state).WriteINIValueStr("Misc", "Key", "value");
    ASSERT_EQ(t.Messages().Texts().size(), 1u);
    EXPECT_EQ(t.Messages().Texts()[0],
              "The settings file " + nowhere + " could not be written: No such file or directory");
    EXPECT_EQ(t.Messages().Icons()[0], MessageIcon::Warning);
}

TEST(Settings, AValueWithALineBreakIsRefusedRatherThanSplitIntoTwoLines) {
    TestDocument t(kSettings);
    t.Doc().WriteINIValueStr("Misc", "FTPLogin", "admin\n[Evil]\nx=1");
    ASSERT_EQ(t.Messages().Texts().size(), 1u);
    EXPECT_EQ(t.Doc().GetINIValueStr("Evil", "x", IfMissing::Silent), "NoneNoneNone");
    EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "FTPLogin", IfMissing::Silent), "NoneNoneNone");
}

TEST(Settings, AChangeMadeOnDiskByAnotherProgramIsSeenByTheNextRead) {
    TestDocument t(kSettings);
    EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "GetCommunity", IfMissing::Silent), "public");
    WriteTextFile(t.SettingsPath(), "[Misc]\nGetCommunity=edited-outside\n");
    EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "GetCommunity", IfMissing::Silent), "edited-outside");
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
    RecordingMessages messages;
    SharedState state("/tmp/site.ini");
    CTarnDoc doc(messages, NetSnmpManager(), state);
    EXPECT_EQ(doc.GetINIPath(), "/tmp/site.ini");
    EXPECT_EQ(doc.GetTemplatePath(), "/tmp/site.tpl");
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

TEST(OidNames, DottedValuesRedirectionAndNotFoundTexts) {
    FakeSnmpManager silent;  // no terminal answers: the product is unknown
    silent.openOk = false;
    TestDocument t(kSettings, &silent);
    CTarnDoc& doc = t.Doc();
    EXPECT_EQ(doc.GetOidFromStr("oidsysname", "127.0.0.9"), ".1.3.6.1.2.1.1.5.0");
    EXPECT_EQ(doc.GetOidFromStr("OidRedirected", "127.0.0.9"), ".1.3.6.1.4.1.32473.5");
    EXPECT_EQ(doc.GetOidFromStr("OidNotApplicable", "127.0.0.9"), "OidStrError");
    // PRODUCTSPECIFIC goes to the terminal's product section, OTHER for an unknown one.
    EXPECT_EQ(doc.GetOidFromStr("EntOidPlatForm", "127.0.0.9"), ".7.1.0");
    EXPECT_EQ(t.Messages().Texts(),
              std::vector<std::string>{"GetOidFromStr:OID:OidNotApplicable:Not Found"});

    t.Messages().Clear();
    EXPECT_EQ(doc.GetOidFromStr("OidMissingThere", "127.0.0.9"), "OidStrError");
    EXPECT_EQ(doc.GetOidFromStr("OidAbsent", "127.0.0.9"), "OidStrError");
    // The message names the OID section, not the section it was redirected to.
    EXPECT_EQ(t.Messages().Texts(),
              (std::vector<std::string>{"GetOidFromStr:OID:OidMissingThere:Not Found",
                                        "GetOidFromStr:OID:OidAbsent:Not Found"}));
    EXPECT_EQ(t.Messages().Icons(),
              (std::vector<MessageIcon>{MessageIcon::Warning, MessageIcon::Warning}));
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

TEST(OidNames, TheOlderModelsSectionAppliesOnlyToTheThreadThatSwitched) {
    FakeSnmpManager silent;
    silent.openOk = false;
    TestDocument t(kSettings, &silent);
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

TEST(LocalHost, TheConfiguredAddressWinsOverTheInterfaces) {
    TestDocument t("[Misc]\nLocalHostIP=127.0.0.1\n");
    EXPECT_EQ(GetLocalHostIP(t.Doc()), "127.0.0.1");
    WriteTextFile(t.SettingsPath(), "[Misc]\nLocalHostIP=\n");
    EXPECT_EQ(GetLocalHostIP(t.Doc()),
              FirstInterfaceIPv4().empty() ? GetLocalHostIP(t.Doc()) : FirstInterfaceIPv4());
    EXPECT_NE(GetLocalHostIP(t.Doc()), "NoneNoneNone");
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

}  // namespace
