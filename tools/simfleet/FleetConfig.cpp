#include "FleetConfig.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace simfleet {

namespace {

bool ParseBool(const std::string& text, bool& value) {
    for (const char* yes : {"yes", "true", "on", "1"}) {
        if (EqualsNoCase(text, yes)) {
            value = true;
            return true;
        }
    }
    for (const char* no : {"no", "false", "off", "0", ""}) {
        if (EqualsNoCase(text, no)) {
            value = false;
            return true;
        }
    }
    return false;
}

bool ParseNumber(const std::string& text, long& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return end && *end == '\0' && value >= 0;
}

// Applies one key of a terminal section (or of [Fleet]) to the setup.
bool ApplyKey(const std::string& key, const std::string& value, const std::string& baseDir,
              TerminalSetup& setup, std::string& error) {
    auto is = [&](const char* name) { return EqualsNoCase(key, name); };
    auto flag = [&](bool& target) {
        if (!ParseBool(value, target)) {
            error = key + " must be yes or no, not \"" + value + "\"";
            return false;
        }
        return true;
    };
    auto number = [&](long& target) {
        if (!ParseNumber(value, target)) {
            error = key + " must be a number, not \"" + value + "\"";
            return false;
        }
        return true;
    };
    long n = 0;
    if (is("Address")) {
        if (!ParseIpv4(value, setup.address)) {
            error = "Address must be a dotted IPv4 address, not \"" + value + "\"";
            return false;
        }
    } else if (is("Name")) {
        setup.name = value;
    } else if (is("Description")) {
        setup.description = value;
    } else if (is("Location")) {
        setup.location = value;
    } else if (is("Contact")) {
        setup.contact = value;
    } else if (is("CustomField1") || is("CustomField2") || is("CustomField3")) {
        setup.customFields[static_cast<std::size_t>(key.back() - '1')] = value;
    } else if (is("DomainName")) {
        setup.domainName = value;
    } else if (is("Model")) {
        setup.model = value;
    } else if (is("BuildNumber")) {
        setup.buildNumber = value;
    } else if (is("Platform")) {
        setup.platform = value;
    } else if (is("ModDate")) {
        setup.modDate = value;
    } else if (is("MAC")) {
        if (!ParseMac(value, setup.mac)) {
            error = "MAC must be six hexadecimal bytes, not \"" + value + "\"";
            return false;
        }
    } else if (is("Interfaces")) {
        if (!number(n) || n < 1 || n > 64) {
            error = "Interfaces must be 1 to 64";
            return false;
        }
        setup.interfaces = static_cast<unsigned>(n);
    } else if (is("EthernetIndex")) {
        if (EqualsNoCase(value, "none")) {
            setup.ethernetIndex = 0;
        } else if (!number(n) || n > 64) {
            error = "EthernetIndex must be a position from 1 to 64, or none";
            return false;
        } else {
            setup.ethernetIndex = static_cast<unsigned>(n);
        }
    } else if (is("ConfigFileName")) {
        setup.configFileName = value;
    } else if (is("Config")) {
        setup.config = Unescape(value);
    } else if (is("ConfigFile")) {
        std::filesystem::path path(value);
        if (path.is_relative() && !baseDir.empty()) {
            path = std::filesystem::path(baseDir) / path;
        }
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            error = "ConfigFile " + path.string() + " cannot be read";
            return false;
        }
        std::ostringstream text;
        text << in.rdbuf();
        setup.config = text.str();
    } else if (is("ReadCommunity")) {
        setup.readCommunity = value;
    } else if (is("WriteCommunity")) {
        setup.writeCommunity = value;
    } else if (is("TrapServer")) {
        setup.trapServer = value;
    } else if (is("Silent")) {
        return flag(setup.behaviours.silent);
    } else if (is("DelayMs")) {
        if (!number(n)) {
            return false;
        }
        setup.behaviours.delayMs = static_cast<unsigned>(n);
    } else if (is("RefuseSets")) {
        return flag(setup.behaviours.refuseSets);
    } else if (is("RefuseSetsOf")) {
        setup.behaviours.refuseSetsOf.clear();
        std::istringstream names(value);
        for (std::string name; std::getline(names, name, ',');) {
            if (!Trim(name).empty()) {
                setup.behaviours.refuseSetsOf.push_back(Trim(name));
            }
        }
    } else if (is("AnswerEveryOther")) {
        return flag(setup.behaviours.everyOther);
    } else if (is("RenameAfterMs")) {
        if (!number(n)) {
            return false;
        }
        setup.behaviours.renameAfterMs = n;
    } else if (is("RenameTo")) {
        setup.behaviours.renameTo = value;
    } else if (is("WrongMagic")) {
        return flag(setup.behaviours.wrongMagic);
    } else if (is("NoOutcomeTrap")) {
        return flag(setup.behaviours.noOutcomeTrap);
    } else if (is("MalformedTrap")) {
        return flag(setup.behaviours.malformedTrap);
    } else {
        error = "unknown key " + key;
        return false;
    }
    return true;
}

// Fills what neither the terminal nor [Fleet] gave.
void CompleteSetup(TerminalSetup& setup) {
    if (setup.name.empty()) {
        setup.name = setup.label;
    }
    if (setup.mac == std::array<std::uint8_t, 6>{}) {
        // Locally administered addresses, unique per terminal address.
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&setup.address.s_addr);
        setup.mac = {0x02, 0x46, 0x57, bytes[1], bytes[2], bytes[3]};
    }
    if (setup.modDate.empty()) {
        setup.modDate = "2024-03-18 09:30:00";
    }
    if (setup.ethernetIndex > setup.interfaces) {
        setup.interfaces = setup.ethernetIndex;
    }
}

}  // namespace

bool ParseIpv4(const std::string& text, in_addr& address) {
    return ::inet_pton(AF_INET, text.c_str(), &address) == 1;
}

std::string FormatIpv4(in_addr address) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof(text));
    return text;
}

in_addr NextHostAddress(in_addr address) {
    std::uint32_t host = ntohl(address.s_addr);
    do {
        ++host;
    } while ((host & 0xFF) == 0 || (host & 0xFF) == 255);
    in_addr next{};
    next.s_addr = htonl(host);
    return next;
}

bool ParseMac(const std::string& text, std::array<std::uint8_t, 6>& mac) {
    std::string digits;
    for (char c : text) {
        if (c == ':' || c == '-' || c == '.') {
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
        digits += c;
    }
    if (digits.size() != 12) {
        return false;
    }
    for (std::size_t i = 0; i < 6; ++i) {
        mac[i] = static_cast<std::uint8_t>(std::stoul(digits.substr(i * 2, 2), nullptr, 16));
    }
    return true;
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            char next = text[++i];
            out += next == 'n' ? '\n' : next == 't' ? '\t' : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool ParseTerminal(const IniFile& file, const std::string& section, const std::string& baseDir,
                   TerminalSetup& setup, std::string& error) {
    setup = TerminalSetup();
    setup.label = section;
    for (const char* source : {"Fleet", section.c_str()}) {
        const auto* entries = file.SectionEntries(source);
        if (!entries) {
            continue;
        }
        for (const auto& [key, value] : *entries) {
            if (!ApplyKey(key, value, baseDir, setup, error)) {
                error = "[" + std::string(source) + "] " + error;
                return false;
            }
        }
    }
    if (setup.address.s_addr == 0) {
        error = "[" + section + "] has no Address";
        return false;
    }
    CompleteSetup(setup);
    return true;
}

bool LoadFleetFile(const std::string& path, std::vector<TerminalSetup>& terminals,
                   std::string& error) {
    auto file = IniFile::Load(path, &error);
    if (!file) {
        return false;
    }
    std::string baseDir = std::filesystem::path(path).parent_path().string();
    for (const auto& section : file->Sections()) {
        if (EqualsNoCase(section.name, "Fleet")) {
            continue;
        }
        TerminalSetup setup;
        if (!ParseTerminal(*file, section.name, baseDir, setup, error)) {
            error = path + ": " + error;
            return false;
        }
        terminals.push_back(setup);
    }
    return true;
}

std::vector<TerminalSetup> GenerateTerminals(const GenerateRequest& request) {
    std::vector<TerminalSetup> terminals;
    in_addr address = request.first;
    for (unsigned i = 0; i < request.live + request.silent; ++i) {
        if (i > 0) {
            address = NextHostAddress(address);
        }
        TerminalSetup setup;
        char text[64];
        bool silent = i >= request.live;
        // Every sixth terminal is of the older model; the Ethernet entry moves
        // between the first three positions of the interface table.
        bool older = !silent && i % 6 == 5;
        std::snprintf(text, sizeof(text), "%s-%03u", silent ? "SILENT" : "TERM", i + 1);
        setup.label = text;
        setup.address = address;
        setup.model = older ? "older" : "current";
        std::snprintf(text, sizeof(text), "Building %c, rack %u", 'A' + static_cast<char>(i % 3),
                      i % 8 + 1);
        setup.location = text;
        std::snprintf(text, sizeof(text), "Help desk, extension %u", 4100 + i % 50);
        setup.contact = text;
        std::snprintf(text, sizeof(text), "Asset %05u", 10000 + i);
        setup.customFields[0] = text;
        setup.customFields[2] = i % 2 ? "Night shift" : "";
        std::snprintf(text, sizeof(text), older ? "3.7.%u" : "5.2.%u", 1040 + i % 7);
        setup.buildNumber = text;
        setup.ethernetIndex = 1 + i % 3;
        setup.interfaces = std::max(2u, setup.ethernetIndex);
        setup.behaviours.silent = silent;
        CompleteSetup(setup);
        terminals.push_back(setup);
    }
    return terminals;
}

}  // namespace simfleet
