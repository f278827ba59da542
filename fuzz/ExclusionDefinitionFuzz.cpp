// Profile lines and exclusion definitions come from administrators' editors:
// any bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/staging/ProfileLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string line(reinterpret_cast<const char*>(data), size);
    MultiSzLine parsed("AvailableExclusions", line);
    // Name and value are pieces of the line; every item is a piece of the value.
    if (parsed.Name().size() + parsed.Value().size() > line.size()) {
        __builtin_trap();
    }
    for (const std::string& item : parsed.Items()) {
        if (parsed.Value().find(item) == std::string::npos) {
            __builtin_trap();
        }
    }
    MultiSzLine again("AvailableExclusions", parsed.Name(), parsed.Value());
    if (again.Items() != parsed.Items()) {
        __builtin_trap();
    }
    return 0;
}
