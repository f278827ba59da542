#include "cli/CliArguments.h"

#include <arpa/inet.h>

#include <climits>

bool IsTerminalAddress(const std::string& text) {
    in_addr address{};
    return ::inet_pton(AF_INET, text.c_str(), &address) == 1;
}

std::optional<int> ParseIndex(const std::string& text) {
    if (text.empty() || text.size() > 10 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    unsigned long long value = std::stoull(text);
    if (value > static_cast<unsigned long long>(INT_MAX)) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

int UsageError(std::ostream& err, const std::string& problem, const std::string& usage) {
    err << "fleetwarden-cli: " << problem << "\nusage: fleetwarden-cli " << usage << std::endl;
    return 2;
}

std::optional<int> RefuseBadAddresses(std::ostream& err, const std::vector<std::string>& addresses,
                                      const std::string& usage) {
    for (const auto& address : addresses) {
        if (!IsTerminalAddress(address)) {
            return UsageError(err, "not an IPv4 address: \"" + address + "\"", usage);
        }
    }
    return std::nullopt;
}
