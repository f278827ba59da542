#pragma once

#include <string>
#include <vector>

#include "FakeSnmpManager.h"
#include "core/terminals/TerminalDatabase.h"

// A terminal as the scripted SNMP layer answers it, laid out as the shipped
// default settings file describes the two products.
struct FakeTerminal {
    std::string ip;
    std::string name = "TERM";
    std::string description = "Thin client";
    std::string location = "Lab";
    std::string contact = "admin";
    std::string sysObjectID = kCurrentModel;
    std::string mac = "00806412ABCD";
    int interfaces = 2;
    int ethernetAt = 2;  // 0: no Ethernet interface
    std::string modDate = "2026-11-30";
    std::string build = "4711";
    std::string platform = "PX-4";
    std::string custom1 = "c1", custom2 = "c2", custom3 = "c3";

    static inline const std::string kCurrentModel = ".1.3.6.1.4.1.32473.1.400";
    static inline const std::string kOlderModel = ".1.3.6.1.4.1.32473.1.2200";
};

// Puts the terminal's objects into `snmp` under its address (replacing any before).
void AddFakeTerminal(FakeSnmpManager& snmp, const FakeTerminal& terminal);

// The records of the terminal database, in order.
std::vector<TerminalRecord> DatabaseRecords(const TerminalDatabase& terminals);

// Loopback peers the console talks to; 0 leaves the shipped setting.
struct Peers {
    unsigned snmp = 0;  // the agents' port
    unsigned trap = 0;  // where traps go; the console's address is then 127.0.0.1
    unsigned ftp = 0;   // the staging server on 127.0.0.1
};

// The default settings file's text, with `extraMisc` lines and then the
// peers' settings added at the top of section Misc (the first of two equal
// keys wins).
std::string DefaultSettingsWith(const std::string& extraMisc = "", const Peers& peers = {});

// Copies the shipped template beside a settings file, as the installation does.
void InstallShippedTemplate(const std::string& settingsPath);
