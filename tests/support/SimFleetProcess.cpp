#include "SimFleetProcess.h"

#include <chrono>
#include <thread>

std::string SimFleetProgram() {
    return ProgramDirectory() + "/fleetwarden-simfleet";
}

SimFleetProcess::SimFleetProcess(const Options& options) {
    std::string fleetFile = m_dir.File("fleet.ini");
    if (!options.fleet.empty()) {
        WriteTextFile(fleetFile, options.fleet);
    }
    for (int attempt = 0; attempt < 3 && !m_ready; ++attempt) {
        m_snmpPort = FreeUdpPort();
        std::vector<std::string> argv = {
            SimFleetProgram(), "--verbose",
            "--settings",      options.settings.empty() ? ShippedSettingsPath() : options.settings,
            "--snmp-port",     std::to_string(m_snmpPort)};
        if (!options.fleet.empty()) {
            argv.insert(argv.end(), {"--fleet", fleetFile});
        }
        if (options.broadcast) {
            m_broadcastPort = FreeUdpPort("0.0.0.0");
            argv.insert(argv.end(), {"--broadcast-port", std::to_string(m_broadcastPort)});
        } else {
            argv.push_back("--no-broadcast");
        }
        argv.insert(argv.end(), options.args.begin(), options.args.end());
        std::string log = m_dir.File("simfleet.log");
        WriteTextFile(log, "");
        m_process = std::make_unique<ChildProcess>(argv, std::vector<std::string>{}, log);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline && m_process->Running()) {
            if (Log().find("terminals ready") != std::string::npos) {
                m_ready = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
}

CommandResult Snmp(const std::string& tool, const std::string& community,
                   const std::string& endpoint, const std::vector<std::string>& args,
                   const std::string& timeout, int retries) {
    std::vector<std::string> argv = {
        FindProgram(tool),       "-v1",   "-c", community, "-On", "-t", timeout, "-r",
        std::to_string(retries), endpoint};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunCommand(argv);
}

std::string SnmpGetText(const std::string& endpoint, const std::string& oid,
                        const std::string& community) {
    CommandResult result = Snmp("snmpget", community, endpoint, {"-Oqv", oid});
    std::string value = result.output;
    while (!value.empty() && value.back() == '\n') {
        value.pop_back();
    }
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}
