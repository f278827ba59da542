#include "TestDocument.h"

#include "core/app/StartupSettings.h"
#include "core/common/Sentinel.h"
#include "core/snmp/SnmpManager.h"

TestDocument::TestDocument(const std::string& settingsText, ISnmpManager* snmp)
    : m_settingsPath(m_dir.File("fleetwarden.ini")) {
    WriteTextFile(m_settingsPath, settingsText);
    m_state = std::make_unique<SharedState>(m_settingsPath);
    m_doc = std::make_unique<CTarnDoc>(m_messages, snmp ? *snmp : NetSnmpManager(), *m_state);
    m_state->GetCommunity().Set("public");
    m_state->SetCommunity().Set("private");
}

TestDocument::~TestDocument() = default;

std::string AgentSettings(unsigned snmpPort) {
    return "[Misc]\n"
           "GetCommunity=public\n"
           "SetCommunity=private\n"
           "SnmpPort=" +
           std::to_string(snmpPort) +
           "\n"
           "[OID]\n"
           "OidSysName=.1.3.6.1.2.1.1.5.0\n"
           "OidSysDesc=.1.3.6.1.2.1.1.1.0\n"
           "OidSysLocation=.1.3.6.1.2.1.1.6.0\n"
           "OidSysObjID=.1.3.6.1.2.1.1.2.0\n"
           "OidUpTime=.1.3.6.1.2.1.1.3.0\n"
           "OidUnknown=.1.3.6.1.2.1.1.99.0\n"
           "OidNegative=.1.3.6.1.4.1.32473.99.1.0\n"
           "OidMacAdr=.1.3.6.1.4.1.32473.99.12\n"
           "OidRawMac=.1.3.6.1.4.1.32473.99.2.0\n"
           "OidLong=.1.3.6.1.4.1.32473.99.3.0\n"
           "OidCounter=.1.3.6.1.4.1.32473.99.4.0\n"
           "OidObject=.1.3.6.1.4.1.32473.99.5.0\n"
           "OidZeroInside=.1.3.6.1.4.1.32473.99.6.0\n"
           "OidAddress=.1.3.6.1.4.1.32473.99.7.0\n"
           "OidWritable=.1.3.6.1.4.1.32473.99.20.0\n"
           "OidIfType=.1.3.6.1.4.1.32473.99.11\n";
}
