// Stored passwords come from the settings file, which anyone may have edited:
// the decode that UnscramblePassword runs on them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/setup/PasswordScrambling.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string stored(reinterpret_cast<const char*>(data), size);
    auto password = UnscrambleStoredForm(stored);
    if (!password) {
        return 0;
    }
    if (password->size() > 254 || password->find('\0') != std::string::npos) {
        __builtin_trap();
    }
    // Whatever decodes, scrambled again, decodes to itself.
    auto again = ScrambleToStoredForm(*password);
    if (password->size() <= password_scrambling::kMaxPasswordBytes &&
        (!again || UnscrambleStoredForm(*again).value_or("?") != *password) && !password->empty()) {
        __builtin_trap();
    }
    return 0;
}
