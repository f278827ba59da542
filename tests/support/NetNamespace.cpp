#include "NetNamespace.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "TestFiles.h"

namespace {

const char* const kMarker = "FLEETWARDEN_TEST_NETNS";

// Runs a command inside a fresh namespace with these addresses.
CommandResult RunInNamespace(const NamespaceAddresses& addresses,
                             const std::vector<std::string>& argv) {
    std::vector<std::string> command = {FLEETWARDEN_SOURCE_DIR "/scripts/netns-run.sh"};
    for (const auto& address : addresses.own) {
        command.insert(command.end(), {"--addr", address});
    }
    for (const auto& address : addresses.peer) {
        command.insert(command.end(), {"--peer-addr", address});
    }
    command.push_back("--");
    command.insert(command.end(), argv.begin(), argv.end());
    return RunCommand(command);
}

}  // namespace

bool InTestNamespace() {
    const char* value = std::getenv(kMarker);
    return value && std::string(value) == "1";
}

std::string NamespaceUnavailableReason() {
    if (::geteuid() != 0) {
        return "network namespaces need root";
    }
    if (FindProgram("unshare").empty() || FindProgram("ip").empty()) {
        return "unshare or ip is not installed";
    }
    return {};
}

CommandResult RerunTestInNamespace(const NamespaceAddresses& addresses) {
    char self[PATH_MAX] = {};
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof(self) - 1);
    if (n <= 0) {
        return {};
    }
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string filter =
        std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    return RunInNamespace(addresses, {"env", std::string(kMarker) + "=1",
                                      std::string(self, static_cast<std::size_t>(n)), filter});
}
