#include "core/staging/ProfileSectionReader.h"

#include <vector>

#include "core/settings/ProfileStore.h"
#include "core/staging/FilterIniFileTypes.h"
#include "core/staging/TemplateFile.h"

namespace {

// Copies the section's lines into the buffer as the platform's section read
// does, measuring each line with `length`.
template <typename Length>
std::size_t CopySection(const std::string& file, const SectionSource& source, std::string& buffer,
                        std::size_t bufferBytes, Length length) {
    std::size_t capacity = bufferBytes / source.CharacterBytes();
    std::size_t used = 0;
    buffer.clear();
    for (const std::string& line : source.Store().ReadSectionLines(file, source.Section())) {
        used += length(line) + 1;
        if (capacity < 2 || used >= capacity - 2) {
            buffer.clear();
            return capacity < 2 ? 0 : capacity - 2;
        }
        buffer += line;
        buffer += '\0';
    }
    return used;
}

}  // namespace

std::size_t SettingsSectionSource::ReadSection(const std::string& file, std::string& buffer,
                                               std::size_t bufferBytes) {
    return CopySection(file, *this, buffer, bufferBytes,
                       [](const std::string& line) { return line.size(); });
}

std::size_t TemplateSectionSource::ReadSection(const std::string& file, std::string& buffer,
                                               std::size_t bufferBytes) {
    return CopySection(file, *this, buffer, bufferBytes,
                       [](const std::string& line) { return WideCharacterCount(line); });
}

ProfileSectionReader::ProfileSectionReader(std::string file, std::unique_ptr<SectionSource> source,
                                           std::size_t bufferBytes)
    : m_file(std::move(file)), m_source(std::move(source)), m_bufferBytes(bufferBytes) {
    std::size_t capacity = m_bufferBytes / m_source->CharacterBytes();
    std::size_t length = m_source->ReadSection(m_file, m_buffer, m_bufferBytes);
    if (capacity < 2 || length >= capacity - 2) {
        throw FilterIniFileTypes::OutOfBufferMemException();
    }
}

ProfileSectionReader::Iterator& ProfileSectionReader::Iterator::operator++() {
    std::size_t nul = m_rest.find('\0');
    m_rest = nul == std::string_view::npos ? std::string_view() : m_rest.substr(nul + 1);
    return *this;
}
