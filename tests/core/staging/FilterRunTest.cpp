// The filter run against the real plug-in, libRegFilter.so beside the tests.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <exception>
#include <functional>

#include "TestDocument.h"
#include "core/settings/ProfileStore.h"
#include "core/staging/FilterConfigurationFile.h"
#include "core/staging/FilterIniFileTypes.h"

namespace {

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

TEST_F(FilterRun, AnOversizedTemplateDefinitionKeepsTheNamesRecordedBeforeIt) {
    TemplateExclusions("\"A\"=multi_sz:\n\"B\"=multi_sz:\n\"C\"=" + std::string(1998, 'x') + "\n");
    EXPECT_FALSE(Run({{"A", "B", "C"}, 3}, {2, 0, 1}));
    EXPECT_EQ(Current(), (Items{"A", "B"}));
}

TEST(FilterPlugin, ExceptionsKeepTheirTypeAcrossTheLibraryBoundary) {
    TempDir dir;
    FilterLibrary library(FilterLibraryPath());
    ASSERT_NE(library.Factory(), nullptr);
    std::string missing = dir.File("missing.reg");
    EXPECT_THROW(library.Factory()(missing.c_str(), "", "", 0),
                 FilterIniFileTypes::InfileNotFoundEx);
    try {
        library.Factory()(dir.Path().c_str(), "", "", 0);
        ADD_FAILURE() << "no exception";
    } catch (const FilterIniFileTypes::FilterException& e) {
        EXPECT_NE(dynamic_cast<const FilterIniFileTypes::InfileReadEx*>(&e), nullptr);
    }

    std::string reg = dir.File("t.reg"), tpl = dir.File("t.tpl");
    WriteTextFile(reg, kInput);
    WriteTextFile(tpl, "");
    const std::pair<int, int> sizes[] = {{0, 4 << 20}, {-1, 4 << 20}, {4096, 4096}};
    for (auto [asked, used] : sizes) {
        std::unique_ptr<RegistryFilter> filter(
            library.Factory()(reg.c_str(), tpl.c_str(), (reg + ".fil").c_str(), asked));
        EXPECT_EQ(filter->BufferSize(), used);
        EXPECT_EQ(filter->AddExclusion(kNet.c_str(), "*"), 1);
        filter->Run();
        EXPECT_EQ(filter->RemovedKeys(), 2);
        EXPECT_EQ(filter->RemovedValues(), 0);
    }
}

}  // namespace
