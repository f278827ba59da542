#pragma once

#include <string>

// One terminal as the console knows it: thirteen texts, each holding whatever
// the last GET returned, failure texts included. Fields not yet read are empty.
struct TerminalRecord {
    std::string m_strEntPrefix;  // enterprise OID prefix of the terminal's product
    std::string m_strIP;         // dotted IPv4 address
    std::string m_strName;       // system name; the text of every terminal list
    std::string m_strVersion;    // system description
    std::string m_strBuildNum;
    std::string m_strModDate;
    std::string m_strMacAdr;  // twelve hex digits, or a failure text
    std::string m_strPlatForm;
    std::string m_strLocation;
    std::string m_strContact;
    std::string m_strCustomField1;
    std::string m_strCustomField2;
    std::string m_strCustomField3;

    bool operator==(const TerminalRecord&) const = default;
};
