#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "FleetConfig.h"
#include "FtpTransfer.h"
#include "ObjectLayout.h"
#include "SnmpCodec.h"
#include "StateDir.h"
#include "TerminalMib.h"

namespace simfleet {

struct FleetOptions {
    unsigned snmpPort = 161;
    unsigned broadcastPort = 2343;
    bool broadcast = true;
    unsigned trapPort = 162;
    unsigned ftpPort = 21;
    std::string trapDest;  // trap destination of every terminal that has none of its own
    std::string stateDir;  // where the terminals' files are kept on disk; empty: nowhere
    bool coldStart = false;
    double coldStartDelay = 0;
    bool verbose = false;
};

// The running fleet: one single-threaded loop over every terminal's SNMP
// socket and the broadcast socket, with a timer queue for late answers and
// scheduled events. Only FTP transfers run on threads of their own.
class Fleet {
public:
    Fleet(const ObjectLayout& layout, const std::vector<TerminalSetup>& setups,
          const FleetOptions& options);
    ~Fleet();
    Fleet(const Fleet&) = delete;
    Fleet& operator=(const Fleet&) = delete;

    // Binds every socket; false with the reason when one cannot be bound.
    bool Open(std::string& error);
    // Runs until SIGINT or SIGTERM; returns the exit code.
    int Run();

private:
    using Clock = std::chrono::steady_clock;
    struct Terminal {
        TerminalSetup setup;
        Product product;
        std::unique_ptr<TerminalMib> mib;
        int fd = -1;
        unsigned long requests = 0;
        bool transferring = false;
        std::string readCommunity;
        std::string writeCommunity;
        std::string configName;
        std::map<std::string, std::string> files;  // the terminal's own files by name
    };
    struct Datagram {
        std::string data;
        in_addr from{};
        unsigned port = 0;
    };

    void After(Clock::duration delay, std::function<void()> action);
    void ReceiveSnmp(std::size_t index);
    void AnswerSnmp(std::size_t index, const Datagram& datagram);
    void ReceiveBroadcast();
    void ReplyToBroadcast(std::size_t index, const Datagram& datagram, in_addr to);
    void Changed(std::size_t index, const std::string& name);
    // The SET's first binding that the terminal is set to refuse (1-based); 0 for none.
    int RefusedBinding(const Terminal& terminal, const std::vector<VarBind>& bindings) const;
    void KeepFile(std::size_t index, const std::string& name, const std::string& content);
    void StartTransfer(std::size_t index);
    void Finish(const TransferOutcome& outcome);
    void SendTrap(std::size_t index, int generic, int specific, std::vector<VarBind> bindings);
    void SendOutcomeTrap(std::size_t index, long reasonCode);
    void CollectTransfers();
    void Log(const std::string& line);
    void Log(const Terminal& terminal, const std::string& line);

    FleetOptions m_options;
    StateDir m_state;
    std::vector<Terminal> m_terminals;
    int m_broadcastFd = -1;
    std::vector<char> m_buffer;  // every datagram is received into this one buffer
    std::multimap<Clock::time_point, std::function<void()>> m_timers;

    std::atomic<bool> m_stopping{false};
    std::mutex m_doneMutex;
    std::vector<TransferOutcome> m_done;
    std::map<std::size_t, std::jthread> m_workers;  // by terminal
};

}  // namespace simfleet
