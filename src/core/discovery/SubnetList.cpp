#include "core/discovery/SubnetList.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>

#include "core/app/CTarnDoc.h"

SubnetTable g_SubnetTable;
GuardedText g_strDiscoverIPSubNet;
GuardedText g_strDiscoverMethod;

void SubnetTable::Assign(std::vector<std::string> entries) {
    std::lock_guard lock(m_mutex);
    m_entries = std::move(entries);
}

std::vector<std::string> SubnetTable::Entries() const {
    std::lock_guard lock(m_mutex);
    return m_entries;
}

std::size_t SubnetTable::Count() const {
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}

namespace {

// The entry followed by ".1" must read as an IPv4 address in the classic
// dotted forms (one to four parts, decimal, octal or hexadecimal). The C
// library's reader stops at white space and accepts whatever follows it, so
// an entry holding any white space is refused here first.
bool IsValidEntry(const std::string& entry) {
    if (std::any_of(entry.begin(), entry.end(),
                    [](unsigned char c) { return std::isspace(c) != 0; })) {
        return false;
    }
    in_addr address{};
    return ::inet_aton((entry + ".1").c_str(), &address) != 0;
}

}  // namespace

bool ParseSubnetList(const std::string& text) {
    if (text.empty()) {
        return false;
    }
    // Only the ";" at the very end are ignored; any other empty entry, such as
    // the one between two ";" in a row, makes the list invalid.
    std::string rest = text;
    while (!rest.empty() && rest.back() == ';') {
        rest.pop_back();
    }
    std::vector<std::string> entries;
    while (true) {
        std::size_t cut = rest.rfind(';');
        if (cut == std::string::npos) {
            entries.push_back(rest);
            break;
        }
        entries.push_back(rest.substr(cut + 1));
        rest.resize(cut);
    }
    // A text of nothing but ";" leaves one empty entry, refused below.
    bool valid = entries.size() <= SubnetTable::kCapacity &&
                 std::all_of(entries.begin(), entries.end(), IsValidEntry);
    g_SubnetTable.Assign(valid ? std::move(entries) : std::vector<std::string>{});
    return valid;
}

void LoadDiscoverySettings(CTarnDoc& doc) {
    g_strDiscoverIPSubNet.Set(doc.GetINIValueStr("Misc", "DiscoverIPSubNet", 1));
    g_strDiscoverMethod.Set(doc.GetINIValueStr("Misc", "DiscoverMethod", 1));
}
