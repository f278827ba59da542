#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

class ProfileStore;

// Where a section reader takes a section from. It holds the section's name and
// reads the section's lines into the reader's buffer, one after the other,
// each followed by a NUL.
class SectionSource {
public:
    virtual ~SectionSource() = default;
    SectionSource(const SectionSource&) = delete;
    SectionSource& operator=(const SectionSource&) = delete;

    // Fills `buffer` and returns the length of what was read in the source's
    // characters (the NULs after the lines included). A section that does not
    // fit `bufferBytes` is cut and its length given as the capacity minus 2.
    virtual std::size_t ReadSection(const std::string& file, std::string& buffer,
                                    std::size_t bufferBytes) = 0;

    const std::string& Section() const { return m_section; }
    ProfileStore& Store() const { return m_store; }
    // Bytes per character of the source's buffer: 1, or 2 for wide characters.
    std::size_t CharacterBytes() const { return m_characterBytes; }

protected:
    SectionSource(ProfileStore& store, std::string section, std::size_t characterBytes)
        : m_store(store), m_section(std::move(section)), m_characterBytes(characterBytes) {}

private:
    ProfileStore& m_store;
    std::string m_section;
    std::size_t m_characterBytes;
};

// A section of the settings file, counted in bytes.
class SettingsSectionSource final : public SectionSource {
public:
    SettingsSectionSource(ProfileStore& store, std::string section)
        : SectionSource(store, std::move(section), 1) {}
    std::size_t ReadSection(const std::string& file, std::string& buffer,
                            std::size_t bufferBytes) override;
};

// A section of the template, counted in wide characters (UTF-16 code units),
// whatever the template file's encoding.
class TemplateSectionSource final : public SectionSource {
public:
    TemplateSectionSource(ProfileStore& store, std::string section)
        : SectionSource(store, std::move(section), 2) {}
    std::size_t ReadSection(const std::string& file, std::string& buffer,
                            std::size_t bufferBytes) override;
};

// Reads one whole section at construction and then hands out its lines in file
// order (blank and comment lines left out). Throws OutOfBufferMemException when
// the read's length reaches the buffer's capacity minus 2: 9998 bytes of the
// settings file, 4998 wide characters of the template, with the usual 10000.
class ProfileSectionReader {
public:
    static constexpr std::size_t kDefaultBufferBytes = 10000;

    ProfileSectionReader(std::string file, std::unique_ptr<SectionSource> source,
                         std::size_t bufferBytes = kDefaultBufferBytes);

    class Iterator {
    public:
        explicit Iterator(std::string_view rest) : m_rest(rest) {}
        std::string_view operator*() const { return m_rest.substr(0, m_rest.find('\0')); }
        Iterator& operator++();
        bool operator==(const Iterator& other) const {
            return m_rest.size() == other.m_rest.size();
        }

    private:
        std::string_view m_rest;
    };
    Iterator begin() const { return Iterator(m_buffer); }
    Iterator end() const { return Iterator(std::string_view()); }

private:
    std::string m_file;
    std::unique_ptr<SectionSource> m_source;
    std::size_t m_bufferBytes;
    std::string m_buffer;
};
