#include "IniFile.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace simfleet {

bool EqualsNoCase(const std::string& a, const std::string& b) {
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

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::optional<IniFile> IniFile::Load(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) {
            *error = "cannot read " + path;
        }
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return Parse(text.str());
}

IniFile IniFile::Parse(const std::string& text) {
    IniFile file;
    std::istringstream lines(text.rfind("\xEF\xBB\xBF", 0) == 0 ? text.substr(3) : text);
    std::string line;
    Section* current = nullptr;
    while (std::getline(lines, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') {
            continue;
        }
        if (line.front() == '[') {
            std::size_t close = line.find(']');
            std::string name =
                Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            current = nullptr;
            for (auto& section : file.m_sections) {
                if (EqualsNoCase(section.name, name)) {
                    current = &section;
                }
            }
            if (!current) {
                file.m_sections.push_back({name, {}});
                current = &file.m_sections.back();
            }
            continue;
        }
        std::size_t equals = line.find('=');
        if (!current || equals == std::string::npos) {
            continue;
        }
        std::string key = Trim(line.substr(0, equals));
        std::string value = Trim(line.substr(equals + 1));
        bool replaced = false;
        for (auto& entry : current->entries) {
            if (EqualsNoCase(entry.first, key)) {
                entry.second = value;
                replaced = true;
            }
        }
        if (!replaced) {
            current->entries.emplace_back(key, value);
        }
    }
    return file;
}

const IniFile::Section* IniFile::Find(const std::string& section) const {
    for (const auto& candidate : m_sections) {
        if (EqualsNoCase(candidate.name, section)) {
            return &candidate;
        }
    }
    return nullptr;
}

const IniFile::Entries* IniFile::SectionEntries(const std::string& section) const {
    const Section* found = Find(section);
    return found ? &found->entries : nullptr;
}

std::optional<std::string> IniFile::Get(const std::string& section, const std::string& key) const {
    const Section* found = Find(section);
    if (!found) {
        return std::nullopt;
    }
    for (const auto& entry : found->entries) {
        if (EqualsNoCase(entry.first, key)) {
            return entry.second;
        }
    }
    return std::nullopt;
}

std::string IniFile::Get(const std::string& section, const std::string& key,
                         const std::string& fallback) const {
    return Get(section, key).value_or(fallback);
}

}  // namespace simfleet
