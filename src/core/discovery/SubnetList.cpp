#include "core/discovery/SubnetList.h"

#include <algorithm>

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

// An entry is exactly three decimal numbers from 0 to 255 separated by dots,
// which the methods complete with ".host" or ".255". Anything else is
// refused: the classic reader's shorter forms (10.1 and a host h make
// 10.1.0.h), its octal and hexadecimal parts (010 is 8), and text after a NUL
// or white space, which the C library would silently ignore.
bool IsValidEntry(const std::string& entry) {
    int parts = 0;
    std::size_t at = 0;
    while (true) {
        std::size_t end = at;
        while (end < entry.size() && entry[end] >= '0' && entry[end] <= '9') {
            ++end;
        }
        std::size_t digits = end - at;
        if (digits == 0 || digits > 3 || (digits > 1 && entry[at] == '0') ||
            std::stoi(entry.substr(at, digits)) > 255) {
            return false;
        }
        ++parts;
        if (end == entry.size()) {
            return parts == 3;
        }
        if (entry[end] != '.' || parts == 3) {
            return false;
        }
        at = end + 1;
    }
}

}  // namespace

bool ParseSubnetList(const std::string& text, SubnetTable& table) {
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
    table.Assign(valid ? std::move(entries) : std::vector<std::string>{});
    return valid;
}
