#pragma once

#include <sys/types.h>
#include <string>
#include <vector>

// A UDP (or TCP) port that nothing uses on `address` at the moment of the call.
// The default asks for a port free on every address: tests bind their fleets to
// many loopback addresses, and two tests must not pick the same port.
unsigned FreeUdpPort(const std::string& address = "0.0.0.0");
unsigned FreeTcpPort(const std::string& address = "0.0.0.0");

// A child process, killed and reaped when the object goes.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv,
                 const std::vector<std::string>& extraEnv = {}, const std::string& logFile = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Running();
    // Waits for the end; the wait status.
    int Wait();
    // Sends SIGTERM and waits up to `seconds`; returns the exit status or -1.
    int Stop(double seconds = 5.0);

private:
    pid_t m_pid = -1;
    int m_status = -1;
};

// Runs a command to its end; returns its exit code and what it printed.
struct CommandResult {
    int exitCode = -1;
    std::string output;  // standard output and standard error together
};
CommandResult RunCommand(const std::vector<std::string>& argv);
// The words of a command line, split at each space.
std::vector<std::string> Words(const std::string& text);

// Finds a program in /usr/sbin, /usr/bin or PATH; empty when missing.
std::string FindProgram(const std::string& name);
