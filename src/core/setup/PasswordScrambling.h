#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

class CTarnDoc;

// The FTP password as the settings file keeps it ("Misc"/FTPPassword): a
// lower-case hex text of the byte count, the key byte and the scrambled bytes.
// It only keeps the password from being read at a glance.

// Fixed for the life of the product: a stored password unscrambles correctly
// only with the mixing constant it was scrambled with. The default key must be
// nonzero, since a zero key asks for the default key.
namespace password_scrambling {
inline constexpr std::uint8_t kDefaultKey = 'W';
inline constexpr std::uint8_t kMixingConstant = 0xA5;
// The longest password that fits the stored form (6 + 2 x 124 = 254 characters).
inline constexpr std::size_t kMaxPasswordBytes = 124;
}  // namespace password_scrambling

// In place. A zero key is replaced by the default key, and the caller sees it.
void ScrambleBytes(std::uint8_t& key, std::uint8_t* bytes, std::uint16_t length);
void UnscrambleBytes(std::uint8_t key, std::uint8_t* bytes, std::uint16_t length);

// Writes the 4-digit count of prefix + data bytes, then every byte, as
// lower-case hex, and a terminating zero. `outMax` is the size of `out` in
// bytes, terminator included. Returns the characters written, 0 when they do
// not fit (nothing is written then).
std::size_t HexEncode(const std::uint8_t* prefix, std::size_t prefixLength,
                      const std::uint8_t* data, std::size_t dataLength, char* out,
                      std::size_t outMax);
// Decodes the count and that many bytes; characters other than "0-9a-f" count
// as 0. Returns the bytes decoded, 0 when the text is too short, the count is 0
// or the count exceeds `outMax` or the digits present.
std::size_t HexDecode(const char* text, std::size_t textLength, std::uint8_t* out,
                      std::size_t outMax);

// The stored form of a password, or nothing when the password is longer than
// the stored form allows. An empty password is stored as "".
std::optional<std::string> ScrambleToStoredForm(const std::string& password);
// The password of a non-empty stored form, or nothing when it does not decode
// (too short, a bad count, only the key byte).
std::optional<std::string> UnscrambleStoredForm(const std::string& stored);

// The password's stored form. Too long a password shows message 172, clears
// the stored password and gives "".
std::string ScramblePassword(CTarnDoc& doc, const std::string& password);
// The password of a stored form. An empty stored value gives the default
// password when `wantDefault` is set, otherwise "". A stored form that does not
// decode shows message 173, clears the stored password and gives "".
std::string UnscramblePassword(CTarnDoc& doc, const std::string& stored, bool wantDefault);

// The password used when none is stored: the login name, "@" and the host
// name, or "" when either cannot be read.
std::string DefaultFtpPassword();
