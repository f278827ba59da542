#pragma once

#include <string>
#include <string_view>
#include <vector>

// One line of a profile section: the section it came from, a name and a value.
// A name in double quotes (as the template writes them) loses its quotes; the
// value is everything after the "=", unchanged.
class ProfileLine {
public:
    // Parses a raw line of `section`.
    ProfileLine(std::string section, std::string_view line);
    // A line whose name and value are known already.
    ProfileLine(std::string section, std::string name, std::string value);
    virtual ~ProfileLine() = default;
    ProfileLine(const ProfileLine&) = default;
    ProfileLine& operator=(const ProfileLine&) = default;
    ProfileLine(ProfileLine&&) = default;
    ProfileLine& operator=(ProfileLine&&) = default;

    const std::string& Section() const { return m_section; }
    const std::string& Name() const { return m_name; }
    const std::string& Value() const { return m_value; }

private:
    std::string m_section;
    std::string m_name;
    std::string m_value;
};

// A line whose value is an exclusion definition, multi_sz: followed by quoted
// strings, for example multi_sz:"HKEY_LOCAL_MACHINE\Software\Terminal","Name".
// Items() holds the strings in order; the filter takes them in pairs.
class MultiSzLine : public ProfileLine {
public:
    MultiSzLine(std::string section, std::string_view line);
    MultiSzLine(std::string section, std::string name, std::string value);

    const std::vector<std::string>& Items() const { return m_items; }

private:
    std::vector<std::string> m_items;
};

// The strings of an exclusion definition. Parsing starts after the first nine
// characters (the length of "multi_sz:"), whatever they are; text between the
// strings is ignored, and a last string whose closing quote is missing runs to
// the end of the value.
std::vector<std::string> ParseMultiSzItems(std::string_view value);
