#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace regfilter {

// One exclusion pair in UTF-8: a key path and a value name; a value name of "*"
// or "" stands for the whole key with its subkeys, "@" for the key's default value.
struct Exclusion {
    std::string keyPath;
    std::string valueName;
};

struct FilterCounts {
    int removedKeys = 0;    // key sections, subkeys included
    int removedValues = 0;  // single values
};

// Removes the excluded keys and values from a registry-export text: a header
// line ("REGEDIT4" or "Windows Registry Editor Version 5.00"), then [key path]
// sections of "name"=data lines, where data ending in "\" continues on the next
// line. Key paths and value names compare without regard to ASCII letter case.
// Every other byte is copied unchanged, line ends included. The text may be
// UTF-8 or UTF-16 with its byte-order mark; the result keeps the encoding.
// Nothing when the text is not a registry export.
std::optional<std::string> FilterRegistryExport(std::string_view bytes,
                                                const std::vector<Exclusion>& exclusions,
                                                FilterCounts& counts);

}  // namespace regfilter
