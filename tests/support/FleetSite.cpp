#include "FleetSite.h"

#include "FakeTerminals.h"

bool FleetSite::Start(const std::string& fleetText, unsigned trapPort,
                      const std::string& extraMisc) {
    if (FindProgram("snmpget").empty()) {
        m_why = "net-snmp's command-line tools are not installed";
        return false;
    }
    if (!ftp.Ready()) {
        m_why = "pyftpdlib did not start: " + ftp.Log();
        return false;
    }
    fleet = std::make_unique<SimFleetProcess>(SimFleetProcess::Options{
        fleetText,
        {"--trap-port", std::to_string(trapPort), "--trap-dest", "127.0.0.1", "--ftp-port",
         std::to_string(ftp.Port()), "--state-dir", dir.File("state")}});
    if (fleet->Ready()) {
        WriteTextFile(SettingsPath(),
                      DefaultSettingsWith(extraMisc, {fleet->SnmpPort(), trapPort, ftp.Port()}));
        InstallShippedTemplate(SettingsPath());
    }
    return true;
}
