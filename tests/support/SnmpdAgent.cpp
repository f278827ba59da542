#include "SnmpdAgent.h"

#include <sys/stat.h>

#include <chrono>
#include <thread>

namespace {

// The test subtree. Values of every type the console must convert, the
// Ethernet entry (number 3) of an interface table, and one writable string.
const char* const kPassScript = R"SH(#!/bin/sh
base=.1.3.6.1.4.1.32473.99
state="$(dirname "$0")/written"
if [ "$1" = "-s" ]; then
    case "$2" in
        $base.20.0) [ "$3" = "string" ] || { echo wrong-type; exit 0; }
                    printf '%s' "$4" > "$state"; exit 0 ;;
        *) echo not-writable; exit 0 ;;
    esac
fi
[ "$1" = "-g" ] || exit 0
case "$2" in
    $base.1.0) echo "$2"; echo integer; echo -5 ;;
    $base.2.0) echo "$2"; echo octet; echo "00 80 64 12 AB CD" ;;
    $base.3.0) echo "$2"; echo string; printf 'A%.0s' $(seq 1 300); echo ;;
    $base.4.0) echo "$2"; echo counter; echo 42 ;;
    $base.5.0) echo "$2"; echo objectid; echo .1.3.6.1.4.1.9 ;;
    $base.6.0) echo "$2"; echo octet; echo "41 42 00 43" ;;
    $base.7.0) echo "$2"; echo ipaddress; echo 10.1.2.3 ;;
    $base.11.3) echo "$2"; echo integer; echo 6 ;;
    $base.12.3) echo "$2"; echo octet; echo "00 80 64 12 AB CD" ;;
    $base.20.0) echo "$2"; echo string; cat "$state" 2>/dev/null || echo initial; echo ;;
esac
exit 0
)SH";

}  // namespace

SnmpdAgent::SnmpdAgent(const std::string& address) : m_address(address) {
    std::string snmpd = FindProgram("snmpd");
    std::string snmpget = FindProgram("snmpget");
    if (snmpd.empty() || snmpget.empty()) {
        return;
    }
    std::string script = m_dir.File("pass.sh");
    WriteTextFile(script, kPassScript);
    ::chmod(script.c_str(), 0755);
    std::string config = m_dir.File("snmpd.conf");
    WriteTextFile(config,
                  "rocommunity public\n"
                  "rwcommunity private\n"
                  "sysLocation Test Rack 7\n"
                  "pass .1.3.6.1.4.1.32473.99 /bin/sh " +
                      script + "\n");
    for (int attempt = 0; attempt < 3 && !m_ready; ++attempt) {
        m_port = FreeUdpPort(m_address);
        std::string endpoint = "udp:" + Endpoint();
        m_process = std::make_unique<ChildProcess>(
            std::vector<std::string>{snmpd, "-f", "-C", "-c", config, "-Lf",
                                     m_dir.File("snmpd.log"), "-p", m_dir.File("snmpd.pid"),
                                     endpoint},
            std::vector<std::string>{"SNMP_PERSISTENT_DIR=" + m_dir.Path(), "MIBS=", "MIBDIRS="});
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline && m_process->Running()) {
            CommandResult probe = RunCommand({snmpget, "-v1", "-c", "public", "-t", "0.2", "-r",
                                              "0", "-On", Endpoint(), ".1.3.6.1.2.1.1.1.0"});
            if (probe.exitCode == 0) {
                m_ready = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
}

SnmpdAgent::~SnmpdAgent() = default;

std::string SnmpdAgent::Log() const {
    return ReadTextFile(m_dir.File("snmpd.log"));
}
