#pragma once

#include <string>

// One terminal as the console knows it: thirteen texts, each holding whatever
// the last GET returned, failure texts included. Fields not yet read are empty.
struct TerminalRecord {
    std::string m_entPrefix;  // enterprise OID prefix of the terminal's product
    std::string m_ip;         // dotted IPv4 address
    std::string m_name;       // system name; the text of every terminal list
    std::string m_version;    // system description
    std::string m_buildNum;
    std::string m_modDate;
    std::string m_macAdr;  // twelve hex digits, or a failure text
    std::string m_platForm;
    std::string m_location;
    std::string m_contact;
    std::string m_customField1;
    std::string m_customField2;
    std::string m_customField3;

    bool operator==(const TerminalRecord&) const = default;
};
