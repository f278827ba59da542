#pragma once

#include <netinet/in.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "IniFile.h"

namespace simfleet {

// How a terminal misbehaves, for tests of the console's failure paths.
struct Behaviours {
    bool silent = false;                    // never answers SNMP or broadcasts
    unsigned delayMs = 0;                   // answers after this delay
    bool refuseSets = false;                // every SET is answered readOnly
    std::vector<std::string> refuseSetsOf;  // SETs of these OID names are answered readOnly
    bool everyOther = false;                // answers the first request, drops the second, ...
    long renameAfterMs = -1;                // changes its system name this long after start
    std::string renameTo;                   //   ... to this name
    bool wrongMagic = false;                // broadcast replies start with another text
    bool noOutcomeTrap = false;             // transfers end without their outcome trap
    bool malformedTrap = false;  // a broken datagram goes to the trap port before each trap
};

// One simulated terminal as the fleet file (or --generate) describes it.
struct TerminalSetup {
    std::string label;  // the fleet file's section name
    in_addr address{};
    std::string name;
    std::string description;
    std::string location;
    std::string contact;
    std::array<std::string, 3> customFields;
    std::string domainName;
    std::string model = "current";  // current, older, a product key or a sysObjectID
    std::string buildNumber;
    std::string platform;
    std::string modDate;
    std::array<std::uint8_t, 6> mac{};
    unsigned interfaces = 2;     // entries of the interface table
    unsigned ethernetIndex = 1;  // position of the Ethernet entry; 0 = none
    std::string configFileName;  // empty: the settings file's RegFileName
    std::string config;          // the stored configuration; empty: one made for it
    std::string readCommunity;   // empty: the settings file's GetCommunity
    std::string writeCommunity;  // empty: the settings file's SetCommunity
    std::string trapServer;      // trap destination held at start (EntOidTrapServer5)
    Behaviours behaviours;
};

struct GenerateRequest {
    unsigned live = 0;
    unsigned silent = 0;
    in_addr first{};
};

// Reads the fleet file. Relative ConfigFile paths are taken from the file's directory.
bool LoadFleetFile(const std::string& path, std::vector<TerminalSetup>& terminals,
                   std::string& error);
// Parses one terminal's keys over the defaults of [Fleet].
bool ParseTerminal(const IniFile& file, const std::string& section, const std::string& baseDir,
                   TerminalSetup& setup, std::string& error);
// N varied terminals on consecutive addresses (host parts 0 and 255 are skipped).
std::vector<TerminalSetup> GenerateTerminals(const GenerateRequest& request);

bool ParseMac(const std::string& text, std::array<std::uint8_t, 6>& mac);
bool ParseIpv4(const std::string& text, in_addr& address);
std::string FormatIpv4(in_addr address);
// The next address after `address` whose last part is neither 0 nor 255.
in_addr NextHostAddress(in_addr address);
// "\n", "\t" and "\\" in a one-line value.
std::string Unescape(const std::string& text);

}  // namespace simfleet
