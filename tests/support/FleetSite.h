#pragma once

#include <memory>
#include <string>

#include "PyFtpServer.h"
#include "SimFleetProcess.h"

// A site for end-to-end runs: the simulated fleet, pyftpdlib as its staging
// server, and beside the shipped template a settings file that points the
// console at both. Terminals without a trap destination of their own send to
// 127.0.0.1.
class FleetSite {
public:
    // Starts the fleet of `fleetText`, its traps going to `trapPort`. False,
    // with the reason in Why(), when a peer is missing; a fleet that did not
    // start says so in Why() too, and Ready() is false.
    bool Start(const std::string& fleetText, unsigned trapPort, const std::string& extraMisc = "");
    bool Ready() const { return fleet && fleet->Ready(); }
    std::string Why() const { return fleet ? fleet->Log() : m_why; }

    std::string SettingsPath() const { return dir.File("fleetwarden.ini"); }
    std::string Settings() const { return ReadTextFile(SettingsPath()); }
    std::string At(const std::string& ip) const { return fleet->At(ip); }
    // The configuration file the terminal at `ip` keeps.
    std::string StoredOn(const std::string& ip) const {
        return ReadTextFile(dir.File("state/" + ip + "/terminal.reg"));
    }

    TempDir dir;
    PyFtpServer ftp;
    std::unique_ptr<SimFleetProcess> fleet;

private:
    std::string m_why;
};
