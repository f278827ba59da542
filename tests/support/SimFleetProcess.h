#pragma once

#include <memory>
#include <string>
#include <vector>

#include "NetworkTestSupport.h"
#include "TestFiles.h"

// fleetwarden-simfleet as a child process on free ports, with --verbose so
// that its log shows every request. A test target that uses it depends on the
// fleetwarden-simfleet target, which the build leaves out with
// FLEETWARDEN_BUILD_TOOLS=OFF.
class SimFleetProcess {
public:
    struct Options {
        std::string fleet;              // text of a fleet file; empty for none
        std::vector<std::string> args;  // further options (--generate, --trap-port, ...)
        bool broadcast = false;         // run the broadcast responder on a free port
        std::string settings;           // empty: the shipped default settings file
    };
    explicit SimFleetProcess(const Options& options);

    bool Ready() const { return m_ready; }
    unsigned SnmpPort() const { return m_snmpPort; }
    std::string At(const std::string& address) const {
        return address + ":" + std::to_string(m_snmpPort);
    }
    std::string Log() const { return ReadTextFile(m_dir.File("simfleet.log")); }
    // SIGTERM; the process's wait status, or -1 when it had to be killed.
    int Stop() { return m_process ? m_process->Stop(10.0) : -1; }

private:
    TempDir m_dir;
    unsigned m_snmpPort = 0;
    unsigned m_broadcastPort = 0;
    bool m_ready = false;
    std::unique_ptr<ChildProcess> m_process;
};

std::string SimFleetProgram();

// net-snmp's command-line tools as the independent client: version 1,
// numeric OIDs, the given community, time-out and retries.
CommandResult Snmp(const std::string& tool, const std::string& community,
                   const std::string& endpoint, const std::vector<std::string>& args,
                   const std::string& timeout = "2", int retries = 2);
// The value alone of one GET ("STRING: " and quotes removed); the error
// output when the GET fails.
std::string SnmpGetText(const std::string& endpoint, const std::string& oid,
                        const std::string& community = "public");
