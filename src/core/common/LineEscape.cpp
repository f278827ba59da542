#include "core/common/LineEscape.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

// The length of the well-formed UTF-8 sequence of two bytes or more that
// starts at `at`, or 0 when there is none there.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
    auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[at + i]); };
    std::uint8_t lead = byte(0);
    std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                         : lead >= 0xE0 && lead <= 0xEF ? 3
                         : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                        : 0;
    if (length == 0 || at + length > text.size()) {
        return 0;
    }
    // The second byte's range excludes overlong forms, surrogates and code
    // points beyond U+10FFFF.
    std::uint8_t low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    std::uint8_t high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

void AppendHex(std::string& out, std::uint8_t byte) {
    constexpr char kDigits[] = "0123456789abcdef";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
}

}  // namespace

std::string EscapeForLine(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t at = 0; at < value.size();) {
        auto byte = static_cast<std::uint8_t>(value[at]);
        if (byte >= 0x80) {
            std::size_t length = Utf8SequenceLength(value, at);
            // U+0080..U+009F, the C1 controls, are C2 80..C2 9F.
            bool control =
                length == 2 && byte == 0xC2 && static_cast<std::uint8_t>(value[at + 1]) <= 0x9F;
            if (length != 0 && !control) {
                out.append(value.substr(at, length));
                at += length;
                continue;
            }
            for (std::size_t end = at + std::max<std::size_t>(length, 1); at < end; ++at) {
                AppendHex(out, static_cast<std::uint8_t>(value[at]));
            }
            continue;
        }
        switch (byte) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    AppendHex(out, byte);
                } else {
                    out += static_cast<char>(byte);
                }
        }
        ++at;
    }
    return out;
}
