// Settings files and templates come from administrators' editors: any bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/settings/ProfileDocument.h"
#include "core/settings/ProfileStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    ProfileDocument doc = ProfileDocument::Parse(DecodeProfileText(bytes));
    doc.Get("Misc", "GetCommunity");
    doc.SectionLines("AvailableExclusions");
    doc.Set("Misc", "Key", "value");
    doc.Set("New Section", "Key", "value");
    doc.DeleteSection("OID");
    // What was written must read back.
    if (doc.Get("Misc", "Key") != std::string("value")) {
        __builtin_trap();
    }
    ProfileDocument::Parse(doc.Serialize());
    return 0;
}
