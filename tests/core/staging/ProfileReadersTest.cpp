#include <gtest/gtest.h>

#include "TestFiles.h"
#include "core/settings/ProfileStore.h"
#include "core/staging/ExclusionList.h"
#include "core/staging/ProfileSectionReader.h"
#include "core/staging/TemplateFile.h"

namespace {

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

TEST(TemplateFile, ValuesAreLookedUpQuotedAndBounded) {
    ProfileStore store;
    TempDir dir;
    std::string tpl = dir.File("site.tpl");
    WriteTextFile(tpl,
                  "[Template-Version]\n\"Version\"=2.1\n[AvailableExclusions]\nPlain=x\n"
                  "\"Fits\"=" +
                      std::string(1997, 'v') + "\n\"TooLong\"=" + std::string(1998, 'v') + "\n");
    EXPECT_EQ(GetTemplateValue(store, tpl, "Template-Version", "Version"), "2.1");
    EXPECT_EQ(GetTemplateValue(store, tpl, "AvailableExclusions", "Plain"), "");
    EXPECT_EQ(GetTemplateValue(store, tpl, "AvailableExclusions", "Fits").size(), 1997u);
    EXPECT_THROW(GetTemplateValue(store, tpl, "AvailableExclusions", "TooLong"),
                 FilterIniFileTypes::OutOfBufferMemException);
    EXPECT_EQ(GetTemplateValue(store, dir.File("missing.tpl"), "Template-Version", "Version"), "");
}

TEST(ExclusionList, TemplateInByteOrderThenSettingsInFileOrder) {
    ProfileStore store;
    TempDir dir;
    std::string tpl = dir.File("site.tpl"), ini = dir.File("site.ini");
    WriteTextFile(tpl,
                  "[AvailableExclusions]\n\"b\"=multi_sz:\"old\"\n\"A\"=multi_sz:\n"
                  "\"a\"=multi_sz:\n\"b\"=multi_sz:\"K\",\"V\"\n");
    WriteTextFile(ini, "[AvailableExclusions]\nZeta=multi_sz:\nA=multi_sz:\n");
    auto templ = ReadTemplateExclusions(store, tpl);
    ASSERT_EQ(templ.size(), 3u);
    EXPECT_EQ(templ.at("b").Items(), (Items{"K", "V"}));  // the later line replaced the earlier

    ExclusionList list = ReadAvailableExclusions(store, ini, tpl);
    EXPECT_EQ(list.names, (Items{"A", "a", "b", "Zeta", "A"}));
    EXPECT_EQ(list.templateCount, 3u);
    EXPECT_TRUE(list.complete);

    list = ReadAvailableExclusions(store, ini, dir.File("missing.tpl"));
    EXPECT_EQ(list.names, (Items{"Zeta", "A"}));
    EXPECT_EQ(list.templateCount, 0u);

    // A settings section too large keeps what the template gave.
    WriteTextFile(ini, "[AvailableExclusions]\nBig=" + std::string(10000, 'x') + "\n");
    list = ReadAvailableExclusions(store, ini, tpl);
    EXPECT_EQ(list.names, (Items{"A", "a", "b"}));
    EXPECT_FALSE(list.complete);
}

}  // namespace
