#pragma once

#include <string>
#include <vector>

#include "MissingPeer.h"
#include "NetworkTestSupport.h"

// Tests that broadcast run inside a private network namespace made by
// scripts/netns-run.sh, so that not even 255.255.255.255 leaves it.
//
//   TEST(Suite, Name) {
//       if (!InTestNamespace()) {
//           RUN_TEST_IN_NAMESPACE({"10.77.1.1"}, {"10.77.1.10", "10.77.1.11"});
//           return;
//       }
//       ... the test itself, inside the namespace ...
//   }
struct NamespaceAddresses {
    std::vector<std::string> own;   // on veth0, which carries the default route
    std::vector<std::string> peer;  // on veth1
};

// True in the process that RerunTestInNamespace started.
bool InTestNamespace();
// Empty when namespaces can be made here (root, unshare, ip); otherwise why not.
std::string NamespaceUnavailableReason();
// Runs the current test again, alone, inside a fresh namespace; its exit code
// is 0 when it passed there.
CommandResult RerunTestInNamespace(const NamespaceAddresses& addresses);

// Skips (fails in CI) when namespaces cannot be made; otherwise expects the
// rerun to pass.
#define RUN_TEST_IN_NAMESPACE(...)                                                    \
    do {                                                                              \
        std::string unavailable = NamespaceUnavailableReason();                       \
        if (!unavailable.empty()) {                                                   \
            SKIP_FOR_MISSING_PEER(unavailable);                                       \
        }                                                                             \
        CommandResult inside = RerunTestInNamespace(NamespaceAddresses{__VA_ARGS__}); \
        EXPECT_EQ(inside.exitCode, 0) << inside.output;                               \
    } while (false)
