#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/common/UserMessages.h"

class CTarnDoc;

// Message boxes of a benchmark: printed, so a misconfiguration is visible.
class PrintedMessages final : public IUserMessages {
public:
    void ShowMessage(const std::string& text, MessageIcon icon) override;
};

// The simulated fleet, started for a benchmark and stopped when it goes.
class SimulatedFleet {
public:
    explicit SimulatedFleet(const std::vector<std::string>& arguments);
    ~SimulatedFleet();
    bool Started() const { return m_pid > 0; }

private:
    pid_t m_pid = -1;
};

// pyftpdlib serving `root` on 127.0.0.1 with write access for anonymous, as
// the staging server of a benchmark; stopped when it goes.
class StagingFtpServer {
public:
    explicit StagingFtpServer(const std::string& root);
    ~StagingFtpServer();
    // True once it greeted a connection.
    bool Ready() const { return m_ready; }
    unsigned Port() const { return m_port; }

private:
    pid_t m_pid = -1;
    unsigned m_port = 0;
    bool m_ready = false;
};

// Starts a program with its standard output discarded (and its error output
// too when `quiet`).
pid_t StartProgram(std::vector<std::string> args, bool quiet);
std::string ProgramPath(const std::string& name);
std::string DefaultSettingsText();
unsigned FreeUdpPortOn(const std::string& address);
// A fresh temporary directory (not removed: benchmarks are run by hand).
std::string MakeTempDir();
void WriteFile(const std::string& path, const std::string& text);

// Waits up to ten seconds for the terminal at `address` to answer a GET of
// its name (the fleet takes a moment to start); false when it never did.
bool WaitUntilAnswering(CTarnDoc& doc, const std::string& address);

using Clock = std::chrono::steady_clock;
double SecondsSince(Clock::time_point start);
