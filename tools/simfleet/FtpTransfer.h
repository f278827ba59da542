#pragma once

#include <atomic>
#include <cstddef>
#include <string>

namespace simfleet {

// Reason codes a terminal reports in the second binding of a failed
// transfer's trap (the console's reason table).
namespace reason {
constexpr long kDone = 0;
constexpr long kNotReady = 2;
constexpr long kSourceMissing = 6;
constexpr long kCannotConnect = 9;
constexpr long kTransferError = 10;
constexpr long kCannotResolve = 13;
constexpr long kProtocolNotSupported = 20;
constexpr long kBadRegistryFile = 21;  // fetched, but not a configuration it can take
constexpr long kParamsUnreadable = 26;
}  // namespace reason

// What a terminal was asked to do, copied out of its objects so that the
// transfer can run on a worker thread while the terminal keeps answering.
struct TransferRequest {
    std::size_t terminal = 0;
    bool toTerminal = false;  // direction "1": fetch from the server
    bool binary = false;      // type "0"; a binary fetch is a firmware update
    std::string source;
    std::string dest;
    std::string server;
    unsigned port = 21;
    std::string user;
    std::string password;
    std::string upload;  // the terminal's file, when it sends one
};

struct TransferOutcome {
    std::size_t terminal = 0;
    bool toTerminal = false;
    std::string dest;
    long reason = reason::kDone;
    std::string detail;  // for the request log
    bool firmware = false;
    std::string content;   // a fetched configuration
    std::string newBuild;  // a firmware's build number from params.ini, if it names one
};

// Call once before any transfer thread starts.
void InitialiseTransfers();
void ShutdownTransfers();

// Carries the request out with libcurl; `stop` cuts it short at shutdown.
TransferOutcome RunTransfer(const TransferRequest& request, const std::atomic<bool>& stop);

// The last path element ("dir/file" and "/dir\\file" both give "file").
std::string BaseName(const std::string& path);

}  // namespace simfleet
