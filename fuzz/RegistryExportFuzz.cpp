// The filter plug-in reads whatever configuration file the administrator
// points it at: any bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "regfilter/RegistryExport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<regfilter::Exclusion> exclusions = {
        {"HKEY_LOCAL_MACHINE\\Software\\Terminal\\Network", "IPAddress"},
        {"HKEY_LOCAL_MACHINE\\Software\\Terminal\\Display", "*"},
        {"[hkey_local_machine\\software\\terminal\\session\\]", "@"},
        {"", "x"},
    };
    regfilter::FilterCounts counts;
    auto filtered = regfilter::FilterRegistryExport(bytes, exclusions, counts);
    // Filtering only ever removes; with nothing to remove it copies every byte.
    if (filtered && filtered->size() > bytes.size()) {
        __builtin_trap();
    }
    auto copied = regfilter::FilterRegistryExport(bytes, {}, counts);
    if (copied.has_value() != filtered.has_value() || (copied && *copied != bytes)) {
        __builtin_trap();
    }
    return 0;
}
