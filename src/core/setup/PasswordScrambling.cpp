#include "core/setup/PasswordScrambling.h"

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <vector>

#include "core/app/CTarnDoc.h"
#include "core/common/StringTable.h"

namespace {

using namespace password_scrambling;

// "0123456789abcdef" to 0..15, every other character to 0.
constexpr std::array<std::uint8_t, 256> kDigitValues = [] {
    std::array<std::uint8_t, 256> table{};
    for (int c = '0'; c <= '9'; ++c) {
        table[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - '0');
    }
    for (int c = 'a'; c <= 'f'; ++c) {
        table[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - 'a' + 10);
    }
    return table;
}();

constexpr char kHexDigits[] = "0123456789abcdef";

std::uint8_t Digit(char c) {
    return kDigitValues[static_cast<unsigned char>(c)];
}

// The 256-byte buffer of the stored form's decode, less the key byte.
constexpr std::size_t kDecodeMax = 255;

void ClearStoredPassword(CTarnDoc& doc, int messageId) {
    doc.Messages().ShowMessage(LoadResString(messageId) + "\n", MessageIcon::Warning);
    doc.WriteINIValueStr("Misc", "FTPPassword", "");
}

}  // namespace

void ScrambleBytes(std::uint8_t& key, std::uint8_t* bytes, std::uint16_t length) {
    if (length == 0) {
        return;
    }
    if (key == 0) {
        key = kDefaultKey;
    }
    bytes[0] ^= static_cast<std::uint8_t>(key | kMixingConstant);
    for (std::size_t i = 1; i < length; ++i) {
        bytes[i] = static_cast<std::uint8_t>(bytes[i - 1] ^ bytes[i] ^ key);
    }
}

void UnscrambleBytes(std::uint8_t key, std::uint8_t* bytes, std::uint16_t length) {
    if (length == 0) {
        return;
    }
    for (std::size_t i = length - 1u; i >= 1; --i) {
        bytes[i] = static_cast<std::uint8_t>(bytes[i] ^ key ^ bytes[i - 1]);
    }
    bytes[0] ^= static_cast<std::uint8_t>(key | kMixingConstant);
}

std::size_t HexEncode(const std::uint8_t* prefix, std::size_t prefixLength,
                      const std::uint8_t* data, std::size_t dataLength, char* out,
                      std::size_t outMax) {
    const std::size_t total = prefixLength + dataLength;
    // The count has four digits, and the terminator needs its own byte.
    if (total > 0xFFFF || outMax < 2 * total + 5) {
        return 0;
    }
    std::size_t pos = 0;
    for (int shift = 12; shift >= 0; shift -= 4) {
        out[pos++] = kHexDigits[(total >> shift) & 0xF];
    }
    auto put = [&](const std::uint8_t* bytes, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            out[pos++] = kHexDigits[bytes[i] >> 4];
            out[pos++] = kHexDigits[bytes[i] & 0xF];
        }
    };
    put(prefix, prefixLength);
    put(data, dataLength);
    out[pos] = '\0';
    return pos;
}

std::size_t HexDecode(const char* text, std::size_t textLength, std::uint8_t* out,
                      std::size_t outMax) {
    if (textLength < 4) {
        return 0;
    }
    std::size_t n = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        n = n * 16 + Digit(text[i]);
    }
    if (n == 0 || n > outMax || n > (textLength - 4) / 2) {
        return 0;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const char* pair = text + 4 + 2 * i;
        out[i] = static_cast<std::uint8_t>(16 * Digit(pair[0]) + Digit(pair[1]));
    }
    return n;
}

std::optional<std::string> ScrambleToStoredForm(const std::string& password) {
    if (password.empty()) {
        return std::string();
    }
    if (password.size() > kMaxPasswordBytes) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> buffer(password.begin(), password.end());
    std::uint8_t key = 0;
    ScrambleBytes(key, buffer.data(), static_cast<std::uint16_t>(buffer.size()));
    char out[256];
    std::size_t written = HexEncode(&key, 1, buffer.data(), buffer.size(), out, sizeof(out));
    if (written == 0) {
        return std::nullopt;
    }
    return std::string(out, written);
}

std::optional<std::string> UnscrambleStoredForm(const std::string& stored) {
    std::array<std::uint8_t, kDecodeMax> out{};
    std::size_t n = HexDecode(stored.data(), stored.size(), out.data(), out.size());
    if (n <= 1) {
        return std::nullopt;
    }
    const std::uint8_t key = out[0];
    std::uint8_t* bytes = out.data() + 1;
    const auto length = static_cast<std::uint16_t>(n - 1);
    UnscrambleBytes(key, bytes, length);
    // The password ends at its first zero byte, as a stored text always did.
    std::size_t end = 0;
    while (end < length && bytes[end] != 0) {
        ++end;
    }
    return std::string(reinterpret_cast<const char*>(bytes), end);
}

std::string ScramblePassword(CTarnDoc& doc, const std::string& password) {
    auto stored = ScrambleToStoredForm(password);
    if (!stored) {
        ClearStoredPassword(doc, ids::kPasswordEncryptError);
        return {};
    }
    return *stored;
}

std::string UnscramblePassword(CTarnDoc& doc, const std::string& stored, bool wantDefault) {
    if (stored.empty()) {
        return wantDefault ? DefaultFtpPassword() : std::string();
    }
    auto password = UnscrambleStoredForm(stored);
    if (!password) {
        ClearStoredPassword(doc, ids::kPasswordDecryptError);
        return {};
    }
    return *password;
}

std::string DefaultFtpPassword() {
    std::string user;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_name) {
        user = found->pw_name;
    }
    char host[256] = {};
    if (user.empty() || ::gethostname(host, sizeof(host) - 1) != 0 || host[0] == '\0') {
        return {};
    }
    return user + "@" + host;
}
