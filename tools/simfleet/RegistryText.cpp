#include "RegistryText.h"

#include <cstdio>
#include <sstream>

#include "IniFile.h"

namespace simfleet {

namespace {

constexpr char kHeader4[] = "REGEDIT4";
constexpr char kHeader5[] = "Windows Registry Editor Version 5.00";
constexpr char kRoot[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\ThinClient";
constexpr std::size_t kHexLine = 76;  // exported hex values wrap near this column

std::string Dword(unsigned long value) {
    char text[32];
    std::snprintf(text, sizeof(text), "dword:%08lx", value);
    return text;
}

// A REG_EXPAND_SZ value as hex(2) bytes, wrapped with "\" the way exports do.
std::string ExpandString(const std::string& name, const std::string& text, bool wide) {
    std::string bytes;
    for (char c : text) {
        bytes += c;
        if (wide) {
            bytes += '\0';
        }
    }
    bytes.append(wide ? 2 : 1, '\0');
    std::string out = "\"" + name + "\"=hex(2):";
    std::size_t column = out.size();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof(hex), "%02x", static_cast<unsigned char>(bytes[i]));
        out += hex;
        column += 2;
        if (i + 1 < bytes.size()) {
            out += ',';
            ++column;
            if (column >= kHexLine) {
                out += "\\\r\n  ";
                column = 2;
            }
        }
    }
    return out;
}

std::string Quoted(const std::string& name, const std::string& value) {
    std::string escaped;
    for (char c : value) {
        if (c == '\\' || c == '"') {
            escaped += '\\';
        }
        escaped += c;
    }
    return "\"" + name + "\"=\"" + escaped + "\"";
}

// A password that differs from terminal to terminal, as a site's would.
std::string Password(const char* head, const TerminalSetup& setup) {
    char text[32];
    std::snprintf(text, sizeof(text), "%s-%02X%02X%02X", head, setup.mac[3], setup.mac[4],
                  setup.mac[5]);
    return text;
}

// UTF-16LE text of ASCII characters as single bytes; other text unchanged.
std::string Narrowed(const std::string& text) {
    if (text.size() < 2 || text[0] != '\xFF' || text[1] != '\xFE') {
        return text.rfind("\xEF\xBB\xBF", 0) == 0 ? text.substr(3) : text;
    }
    std::string narrow;
    for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
        narrow += text[i + 1] == '\0' ? text[i] : '?';
    }
    return narrow;
}

}  // namespace

std::string DefaultRegistryConfig(const TerminalSetup& setup, bool olderModel) {
    std::string address = FormatIpv4(setup.address);
    std::string network = address.substr(0, address.rfind('.'));
    std::string domain = setup.domainName.empty() ? "fleet.example" : setup.domainName;
    std::string welcome = "Welcome to " + (setup.location.empty() ? setup.name : setup.location);
    std::vector<std::string> lines = {
        olderModel ? kHeader4 : kHeader5,
        "",
        "[" + std::string(kRoot) + "\\Network]",
        Quoted("HostName", setup.name),
        Quoted("DomainName", domain),
        "\"UseDHCP\"=" + Dword(0),
        Quoted("IPAddress", address),
        Quoted("SubnetMask", "255.255.255.0"),
        Quoted("DefaultGateway", network + ".1"),
        Quoted("NameServer", network + ".1"),
        "",
        "[" + std::string(kRoot) + "\\Session]",
        Quoted("Server", "apps." + domain),
        Quoted("Protocol", "RDP"),
        "\"AutoConnect\"=" + Dword(1),
        Quoted("UserName", "kiosk"),
        "",
        "[" + std::string(kRoot) + "\\Display]",
        Quoted("Resolution", olderModel ? "1024x768" : "1280x1024"),
        "\"ColourDepth\"=" + Dword(olderModel ? 16 : 24),
        "\"RefreshRate\"=" + Dword(60),
        ExpandString("LogonBanner", welcome, !olderModel),
        "",
        "[" + std::string(kRoot) + "\\Security]",
        Quoted("AdminPassword", Password("adm", setup)),
        Quoted("SessionPassword", Password("kiosk", setup)),
        "\"LockSettings\"=" + Dword(1),
    };
    std::string text;
    for (const auto& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

std::string RegistryExportProblem(const std::string& raw) {
    std::istringstream in(Narrowed(raw));
    std::string line;
    std::getline(in, line);
    line = Trim(line);
    if (line != kHeader4 && line != kHeader5) {
        return "the first line is not a registry export header";
    }
    bool continued = false;
    for (unsigned number = 2; std::getline(in, line); ++number) {
        std::string text = Trim(line);
        bool isContinuation = continued;
        continued = !text.empty() && text.back() == '\\';
        if (isContinuation || text.empty() || text[0] == ';') {
            continue;
        }
        bool key = text.front() == '[' && text.back() == ']';
        bool value = (text[0] == '"' && text.find("\"=", 1) != std::string::npos) ||
                     text.rfind("@=", 0) == 0;
        if (!key && !value) {
            return "line " + std::to_string(number) + " is neither a key, a value nor a comment";
        }
    }
    return {};
}

}  // namespace simfleet
