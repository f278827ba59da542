#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One profile file in memory: named sections of key=value lines. Every line is
// kept as it was read, so comments, blank lines and order survive a write.
// Section and key names compare without regard to letter case; a value is the
// text after the first "=", trimmed, with one pair of enclosing quotes removed.
class ProfileDocument {
public:
    static ProfileDocument Parse(std::string_view text);
    std::string Serialize() const;

    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // Sets a key, adding the section and the key as needed.
    void Set(std::string_view section, std::string_view key, std::string_view value);
    // Removes a section with all its lines; false when there was none.
    bool DeleteSection(std::string_view section);
    // The section's lines in file order, without blank and comment lines.
    std::vector<std::string> SectionLines(std::string_view section) const;
    bool HasSection(std::string_view section) const;

    bool UsesCrLf() const { return m_crlf; }

private:
    struct Range {
        std::size_t header;  // index of the "[name]" line
        std::size_t end;     // one past the section's last line
    };
    std::optional<Range> FindSection(std::string_view section) const;
    std::optional<std::size_t> FindKey(const Range& range, std::string_view key) const;

    std::vector<std::string> m_lines;
    bool m_crlf = false;
    bool m_finalNewline = true;
};

// Helpers shared with the file store.
bool EqualsNoCase(std::string_view a, std::string_view b);
std::string_view TrimBlanks(std::string_view text);
