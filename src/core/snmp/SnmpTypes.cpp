#include "core/snmp/SnmpTypes.h"

#include <cstdio>

namespace {
constexpr std::size_t kMaxOidLength = 128;
const SnmpOid kMib2 = {1, 3, 6, 1, 2, 1};
}  // namespace

std::string FormatHexBytes(const std::uint8_t* bytes, std::size_t count) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::string OidToText(const SnmpOid& oid) {
    std::string text;
    for (auto sub : oid) {
        text += '.';
        text += std::to_string(sub);
    }
    return text;
}

bool ParseOidText(const std::string& text, SnmpOid& oid) {
    SnmpOid parsed;
    std::size_t pos = 0;
    if (!text.empty() && text[0] == '.') {
        pos = 1;
    } else {
        parsed = kMib2;
    }
    if (pos >= text.size()) {
        return false;
    }
    while (pos < text.size()) {
        unsigned long long value = 0;
        std::size_t digits = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            value = value * 10 + static_cast<unsigned>(text[pos] - '0');
            if (value > 0xFFFFFFFFull) {
                return false;
            }
            ++pos;
            ++digits;
        }
        if (digits == 0) {
            return false;
        }
        parsed.push_back(static_cast<std::uint32_t>(value));
        if (parsed.size() > kMaxOidLength) {
            return false;
        }
        if (pos < text.size()) {
            if (text[pos] != '.' || pos + 1 == text.size()) {
                return false;
            }
            ++pos;
        }
    }
    oid = std::move(parsed);
    return true;
}
