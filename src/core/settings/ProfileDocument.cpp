#include "core/settings/ProfileDocument.h"

#include <cctype>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

// Only ";" begins a comment in a profile file; "#" is an ordinary character,
// so a key such as "#Ports" stays readable.
bool IsComment(std::string_view trimmed) {
    return !trimmed.empty() && trimmed[0] == ';';
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::string_view> HeaderName(std::string_view line) {
    std::string_view t = TrimBlanks(line);
    if (t.size() < 2 || t[0] != '[') {
        return std::nullopt;
    }
    std::size_t close = t.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return TrimBlanks(t.substr(1, close - 1));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> SplitKeyLine(std::string_view line) {
    std::string_view t = TrimBlanks(line);
    if (t.empty() || IsComment(t) || t[0] == '[') {
        return std::nullopt;
    }
    std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) {
        return std::nullopt;
    }
    return KeyLine{TrimBlanks(t.substr(0, eq)), TrimBlanks(t.substr(eq + 1))};
}

std::string Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return std::string(value.substr(1, value.size() - 2));
    }
    return std::string(value);
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

ProfileDocument ProfileDocument::Parse(std::string_view text) {
    ProfileDocument doc;
    std::size_t start = 0;
    bool sawLine = false;
    while (start < text.size()) {
        std::size_t nl = text.find('\n', start);
        std::string_view line = text.substr(start, nl == std::string_view::npos ? nl : nl - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
            if (!sawLine) {
                doc.m_crlf = true;
            }
        }
        sawLine = true;
        doc.m_lines.emplace_back(line);
        if (nl == std::string_view::npos) {
            doc.m_finalNewline = false;
            break;
        }
        start = nl + 1;
    }
    return doc;
}

std::string ProfileDocument::Serialize() const {
    const char* eol = m_crlf ? "\r\n" : "\n";
    std::string text;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        text += m_lines[i];
        if (i + 1 < m_lines.size() || m_finalNewline) {
            text += eol;
        }
    }
    return text;
}

std::optional<ProfileDocument::Range> ProfileDocument::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        auto name = HeaderName(m_lines[i]);
        if (name && EqualsNoCase(*name, section)) {
            std::size_t end = i + 1;
            while (end < m_lines.size() && !HeaderName(m_lines[end])) {
                ++end;
            }
            return Range{i, end};
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> ProfileDocument::FindKey(const Range& range,
                                                    std::string_view key) const {
    for (std::size_t i = range.header + 1; i < range.end; ++i) {
        auto kv = SplitKeyLine(m_lines[i]);
        if (kv && EqualsNoCase(kv->key, key)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string> ProfileDocument::Get(std::string_view section,
                                                std::string_view key) const {
    auto range = FindSection(section);
    if (!range) {
        return std::nullopt;
    }
    auto index = FindKey(*range, key);
    if (!index) {
        return std::nullopt;
    }
    return Unquote(SplitKeyLine(m_lines[*index])->value);
}

void ProfileDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    auto range = FindSection(section);
    if (!range) {
        if (!m_lines.empty() && !TrimBlanks(m_lines.back()).empty()) {
            m_lines.emplace_back();
        }
        m_lines.push_back("[" + std::string(section) + "]");
        m_lines.push_back(std::string(key) + "=" + std::string(value));
        m_finalNewline = true;
        return;
    }
    if (auto index = FindKey(*range, key)) {
        // Keep the key as it was spelled in the file.
        std::string_view line = m_lines[*index];
        std::size_t keep = line.find('=') + 1;
        while (keep < line.size() && (line[keep] == ' ' || line[keep] == '\t')) {
            ++keep;
        }
        m_lines[*index] = std::string(line.substr(0, keep)) + std::string(value);
        return;
    }
    // A new key goes after the section's last entry, before the blank and
    // comment lines that lead into the next section.
    std::size_t insertAt = range->end;
    while (insertAt > range->header + 1) {
        std::string_view previous = TrimBlanks(m_lines[insertAt - 1]);
        if (!previous.empty() && !IsComment(previous)) {
            break;
        }
        --insertAt;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                   std::string(key) + "=" + std::string(value));
}

bool ProfileDocument::DeleteSection(std::string_view section) {
    auto range = FindSection(section);
    if (!range) {
        return false;
    }
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(range->header),
                  m_lines.begin() + static_cast<std::ptrdiff_t>(range->end));
    return true;
}

std::vector<std::string> ProfileDocument::SectionLines(std::string_view section) const {
    std::vector<std::string> lines;
    auto range = FindSection(section);
    if (!range) {
        return lines;
    }
    for (std::size_t i = range->header + 1; i < range->end; ++i) {
        std::string_view t = TrimBlanks(m_lines[i]);
        if (!t.empty() && !IsComment(t)) {
            lines.emplace_back(t);
        }
    }
    return lines;
}

bool ProfileDocument::HasSection(std::string_view section) const {
    return FindSection(section).has_value();
}
