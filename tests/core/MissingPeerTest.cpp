#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <optional>

#include "MissingPeer.h"

namespace {

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
