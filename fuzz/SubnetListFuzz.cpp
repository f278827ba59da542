// Subnet lists come from the settings file and from what the administrator types.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/discovery/SubnetList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    SubnetTable table;
    if (!ParseSubnetList(text, table)) {
        return 0;
    }
    auto entries = table.Entries();
    if (entries.empty() || entries.size() > SubnetTable::kCapacity) {
        __builtin_trap();
    }
    // The entries, joined again in the text's order, parse to the same table.
    std::string joined;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (it->empty() || it->find(';') != std::string::npos) {
            __builtin_trap();
        }
        joined += (joined.empty() ? "" : ";") + *it;
    }
    if (!ParseSubnetList(joined, table) || table.Entries() != entries) {
        __builtin_trap();
    }
    return 0;
}
