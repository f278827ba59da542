#include "Oid.h"

#include <charconv>

namespace simfleet {

std::optional<Oid> ParseOid(const std::string& text) {
    std::size_t pos = (!text.empty() && text[0] == '.') ? 1 : 0;
    if (pos >= text.size()) {
        return std::nullopt;
    }
    Oid oid;
    while (pos <= text.size()) {
        std::size_t end = text.find('.', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::uint32_t arc = 0;
        const char* first = text.data() + pos;
        const char* last = text.data() + end;
        auto [ptr, ec] = std::from_chars(first, last, arc);
        if (first == last || ec != std::errc() || ptr != last) {
            return std::nullopt;
        }
        oid.push_back(arc);
        pos = end + 1;
    }
    if (oid.size() > 128) {
        return std::nullopt;
    }
    return oid;
}

std::string FormatOid(const Oid& oid) {
    std::string text;
    for (auto arc : oid) {
        text += '.';
        text += std::to_string(arc);
    }
    return text;
}

Oid Concat(const Oid& head, const Oid& tail) {
    Oid joined = head;
    joined.insert(joined.end(), tail.begin(), tail.end());
    return joined;
}

}  // namespace simfleet
