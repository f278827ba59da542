#pragma once

#include <cstdlib>
#include <cstring>
#include <string>

// A test whose peer (snmpd, snmptrap, pyftpdlib, the simulated fleet, a network
// namespace and the root it needs) is missing is skipped on a developer's
// machine. CI sets CI=true and must run every test, so there it fails instead:
// CI cannot pass without running them.
inline bool PeersRequired() {
    const char* ci = std::getenv("CI");
    return ci && std::strcmp(ci, "true") == 0;
}

inline std::string RequiredPeerText(const std::string& reason) {
    return reason + " (CI=true: every test must run)";
}

// In a GoogleTest test or fixture SetUp.
#define SKIP_FOR_MISSING_PEER(reason)                       \
    do {                                                    \
        const std::string missingPeer_ = (reason);          \
        if (PeersRequired()) {                              \
            GTEST_FAIL() << RequiredPeerText(missingPeer_); \
        }                                                   \
        GTEST_SKIP() << missingPeer_;                       \
    } while (false)

// In a QtTest test function.
#define QSKIP_FOR_MISSING_PEER(reason)                     \
    do {                                                   \
        const std::string missingPeer_ = (reason);         \
        if (PeersRequired()) {                             \
            QFAIL(RequiredPeerText(missingPeer_).c_str()); \
        }                                                  \
        QSKIP(missingPeer_.c_str());                       \
    } while (false)
