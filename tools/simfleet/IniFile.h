#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace simfleet {

// A read-only profile file: [sections] of key=value lines, names compared
// without regard to letter case, ";" or "#" starting a comment line. Sections
// and keys keep the order of the file; a repeated key keeps its last value.
class IniFile {
public:
    using Entries = std::vector<std::pair<std::string, std::string>>;
    struct Section {
        std::string name;
        Entries entries;
    };

    static std::optional<IniFile> Load(const std::string& path, std::string* error = nullptr);
    static IniFile Parse(const std::string& text);

    bool HasSection(const std::string& section) const { return Find(section) != nullptr; }
    std::optional<std::string> Get(const std::string& section, const std::string& key) const;
    std::string Get(const std::string& section, const std::string& key,
                    const std::string& fallback) const;
    const Entries* SectionEntries(const std::string& section) const;
    const std::vector<Section>& Sections() const { return m_sections; }

private:
    const Section* Find(const std::string& section) const;
    std::vector<Section> m_sections;
};

bool EqualsNoCase(const std::string& a, const std::string& b);
std::string Trim(const std::string& text);

}  // namespace simfleet
