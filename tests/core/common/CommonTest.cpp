#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <optional>

#include "MissingPeer.h"
#include "core/common/LineEscape.h"

namespace {

TEST(LineEscape, OnlyPrintableCharactersPassUnchanged) {
    const std::pair<std::string, std::string> cases[] = {
        {"Rack 4, desk 7", "Rack 4, desk 7"},
        {"C:\\new", "C:\\\\new"},  // a value that merely looks like an escape
        {"a\r\nb\tc", "a\\r\\nb\\tc"},
        {"\x1b[2J\x07", "\\x1b[2J\\x07"},
        {std::string("a\0b\x7f", 4), "a\\x00b\\x7f"},
        {"\xc3\xbc \xe2\x82\xac \xf0\x9f\x96\xa5", "\xc3\xbc \xe2\x82\xac \xf0\x9f\x96\xa5"},
        {"\xc2\x9b[m", "\\xc2\\x9b[m"},  // the 8-bit control sequence introducer
        {"\xff\xc0\xaf\xed\xa0\x80\xe2\x82",
         "\\xff\\xc0\\xaf\\xed\\xa0\\x80\\xe2\\x82"},  // not UTF-8
    };
    for (const auto& [value, line] : cases) {
        EXPECT_EQ(EscapeForLine(value), line) << line;
    }
}

void TestWithoutItsPeer() {
    SKIP_FOR_MISSING_PEER("snmpd did not start");
}

// Sets CI for the scope, then puts back what was there.
class CiVariable {
public:
    explicit CiVariable(const char* value) {
        if (const char* old = std::getenv("CI")) {
            m_saved = old;
        }
        value ? ::setenv("CI", value, 1) : ::unsetenv("CI");
    }
    ~CiVariable() { m_saved ? ::setenv("CI", m_saved->c_str(), 1) : ::unsetenv("CI"); }

private:
    std::optional<std::string> m_saved;
};

TEST(MissingPeer, FailsTheTestWhenCiIsTrueAndOnlyThen) {
    {
        CiVariable ci("true");
        EXPECT_FATAL_FAILURE(TestWithoutItsPeer(),
                             "snmpd did not start (CI=true: every test must run)");
    }
    for (const char* value : {static_cast<const char*>(nullptr), "", "false", "1"}) {
        CiVariable ci(value);
        EXPECT_FALSE(PeersRequired()) << (value ? value : "(unset)");
    }
}

}  // namespace
