#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "core/common/GuardedText.h"

class CTarnDoc;

// The subnets discovery searches: up to 255 leading parts of IPv4 addresses
// ("10.1.2"), to which the methods append ".host" or ".255". Entry 0 is the
// last subnet of the list text, so subnets are searched in reverse order.
class SubnetTable {
public:
    static constexpr std::size_t kCapacity = 255;

    void Assign(std::vector<std::string> entries);
    std::vector<std::string> Entries() const;
    std::size_t Count() const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_entries;
};

extern SubnetTable g_SubnetTable;

// The process-wide copies of the discovery settings: the subnet list text and
// the method ("BCAST" or anything else for the range scan).
extern GuardedText g_strDiscoverIPSubNet;
extern GuardedText g_strDiscoverMethod;

// Parses a subnet list ("10.1.1;10.1.2", trailing ";" ignored) into
// g_SubnetTable. False for an empty text (the table is then left as it was),
// and for an empty entry, an entry that is not three decimal numbers from 0 to
// 255 ("10.1.2"), or more than 255 entries (the table is then emptied).
bool ParseSubnetList(const std::string& text);

// Loads the discovery settings into their process-wide copies, as the console's
// view does when it is built.
void LoadDiscoverySettings(CTarnDoc& doc);
