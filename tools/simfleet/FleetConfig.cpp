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

// Applies one key of a terminal section (or of [Fleet]) to the spec.
bool ApplyKey(const std::string& key, const std::string& value, const std::string& baseDir,
              TerminalSpec& spec, std::string& error) {
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
        if (!ParseIpv4(value, spec.address)) {
            error = "Address must be a dotted IPv4 address, not \"" + value + "\"";
            return false;
        }
    } else if (is("Name")) {
        spec.name = value;
    } else if (is("Description")) {
        spec.description = value;
    } else if (is("Location")) {
        spec.location = value;
    } else if (is("Contact")) {
        spec.contact = value;
    } else if (is("CustomField1") || is("CustomField2") || is("CustomField3")) {
        spec.customFields[static_cast<std::size_t>(key.back() - '1')] = value;
    } else if (is("DomainName")) {
        spec.domainName = value;
    } else if (is("Model")) {
        spec.model = value;
    } else if (is("BuildNumber")) {
        spec.buildNumber = value;
    } else if (is("Platform")) {
        spec.platform = value;
    } else if (is("ModDate")) {
        spec.modDate = value;
    } else if (is("MAC")) {
        if (!ParseMac(value, spec.mac)) {
            error = "MAC must be six hexadecimal bytes, not \"" + value + "\"";
            return false;
        }
    } else if (is("Interfaces")) {
        if (!number(n) || n < 1 || n > 64) {
            error = "Interfaces must be 1 to 64";
            return false;
        }
        spec.interfaces = static_cast<unsigned>(n);
    } else if (is("EthernetIndex")) {
        if (EqualsNoCase(value, "none")) {
            spec.ethernetIndex = 0;
        } else if (!number(n) || n > 64) {
            error = "EthernetIndex must be a position from 1 to 64, or none";
            return false;
        } else {
            spec.ethernetIndex = static_cast<unsigned>(n);
        }
    } else if (is("ConfigFileName")) {
        spec.configFileName = value;
    } else if (is("Config")) {
        spec.config = Unescape(value);
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
        spec.config = text.str();
    } else if (is("ReadCommunity")) {
        spec.readCommunity = value;
    } else if (is("WriteCommunity")) {
        spec.writeCommunity = value;
    } else if (is("TrapServer")) {
        spec.trapServer = value;
    } else if (is("Silent")) {
        return flag(spec.behaviours.silent);
    } else if (is("DelayMs")) {
        if (!number(n)) {
            return false;
        }
        spec.behaviours.delayMs = static_cast<unsigned>(n);
    } else if (is("RefuseSets")) {
        return flag(spec.behaviours.refuseSets);
    } else if (is("AnswerEveryOther")) {
        return flag(spec.behaviours.everyOther);
    } else if (is("RenameAfterMs")) {
        if (!number(n)) {
            return false;
        }
        spec.behaviours.renameAfterMs = n;
    } else if (is("RenameTo")) {
        spec.behaviours.renameTo = value;
    } else if (is("WrongMagic")) {
        return flag(spec.behaviours.wrongMagic);
    } else if (is("NoOutcomeTrap")) {
        return flag(spec.behaviours.noOutcomeTrap);
    } else if (is("MalformedTrap")) {
        return flag(spec.behaviours.malformedTrap);
    } else {
        error = "unknown key " + key;
        return false;
    }
    return true;
}

std::string DefaultConfig(const std::string& name) {
    return "; Terminal configuration of " + name + "\n[Network]\nDHCP=Yes\nHostName=" + name +
           "\n[Display]\nResolution=1280x1024\nColours=24\n[Session]\nServer=apps.example.org\n";
}

// Fills what neither the terminal nor [Fleet] gave.
void CompleteSpec(TerminalSpec& spec) {
    if (spec.name.empty()) {
        spec.name = spec.label;
    }
    if (spec.mac == std::array<std::uint8_t, 6>{}) {
        // Locally administered addresses, unique per terminal address.
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&spec.address.s_addr);
        spec.mac = {0x02, 0x46, 0x57, bytes[1], bytes[2], bytes[3]};
    }
    if (spec.config.empty()) {
        spec.config = DefaultConfig(spec.name);
    }
    if (spec.modDate.empty()) {
        spec.modDate = "2024-03-18 09:30:00";
    }
    if (spec.ethernetIndex > spec.interfaces) {
        spec.interfaces = spec.ethernetIndex;
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
                   TerminalSpec& spec, std::string& error) {
    spec = TerminalSpec();
    spec.label = section;
    for (const char* source : {"Fleet", section.c_str()}) {
        const auto* entries = file.SectionEntries(source);
        if (!entries) {
            continue;
        }
        for (const auto& [key, value] : *entries) {
            if (!ApplyKey(key, value, baseDir, spec, error)) {
                error = "[" + std::string(source) + "] " + error;
                return false;
            }
        }
    }
    if (spec.address.s_addr == 0) {
        error = "[" + section + "] has no Address";
        return false;
    }
    CompleteSpec(spec);
    return true;
}

bool LoadFleetFile(const std::string& path, std::vector<TerminalSpec>& terminals,
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
        TerminalSpec spec;
        if (!ParseTerminal(*file, section.name, baseDir, spec, error)) {
            error = path + ": " + error;
            return false;
        }
        terminals.push_back(spec);
    }
    return true;
}

std::vector<TerminalSpec> GenerateTerminals(const GenerateRequest& request) {
    std::vector<TerminalSpec> terminals;
    in_addr address = request.first;
    for (unsigned i = 0; i < request.live + request.silent; ++i) {
        if (i > 0) {
            address = NextHostAddress(address);
        }
        TerminalSpec spec;
        char text[64];
        bool silent = i >= request.live;
        // Every sixth terminal is of the older model; the Ethernet entry moves
        // between the first three positions of the interface table.
        bool older = !silent && i % 6 == 5;
        std::snprintf(text, sizeof(text), "%s-%03u", silent ? "SILENT" : "TERM", i + 1);
        spec.label = text;
        spec.address = address;
        spec.model = older ? "older" : "current";
        std::snprintf(text, sizeof(text), "Building %c, rack %u", 'A' + static_cast<char>(i % 3),
                      i % 8 + 1);
        spec.location = text;
        std::snprintf(text, sizeof(text), "Help desk, extension %u", 4100 + i % 50);
        spec.contact = text;
        std::snprintf(text, sizeof(text), "Asset %05u", 10000 + i);
        spec.customFields[0] = text;
        spec.customFields[2] = i % 2 ? "Night shift" : "";
        std::snprintf(text, sizeof(text), older ? "3.7.%u" : "5.2.%u", 1040 + i % 7);
        spec.buildNumber = text;
        spec.ethernetIndex = 1 + i % 3;
        spec.interfaces = std::max(2u, spec.ethernetIndex);
        spec.behaviours.silent = silent;
        CompleteSpec(spec);
        terminals.push_back(spec);
    }
    return terminals;
}

}  // namespace simfleet
