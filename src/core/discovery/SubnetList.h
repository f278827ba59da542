#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

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

// Parses a subnet list ("10.1.1;10.1.2", trailing ";" ignored) into `table`
// (the shared state's subnet table). False for an empty text (the table is then left as it was),
// and for an empty entry, an entry that is not three decimal numbers from 0 to
// 255 ("10.1.2"), or more than 255 entries (the table is then emptied).
bool ParseSubnetList(const std::string& text, SubnetTable& table);
