#include "core/staging/TemplateFile.h"

#include "core/settings/ProfileStore.h"
#include "core/settings/SettingsPath.h"

namespace {
// The template is read through a buffer of 2000 wide characters.
constexpr std::size_t kTemplateValueLimit = 1998;

std::size_t Utf8Characters(const std::string& text) {
    std::size_t count = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) {
            ++count;
        }
    }
    return count;
}
}  // namespace

std::string GetTemplateValue(const std::string& file, const std::string& section,
                             const std::string& name) {
    auto value = ProfileStore::Read(file, section, "\"" + name + "\"");
    if (!value) {
        return {};
    }
    if (Utf8Characters(*value) >= kTemplateValueLimit) {
        throw FilterIniFileTypes::OutOfBufferMemException();
    }
    return *value;
}

std::string GetTemplateVersion() {
    try {
        return GetTemplateValue(GetTemplatePath(), "Template-Version", "Version");
    } catch (const FilterIniFileTypes::FilterException&) {
        return {};
    }
}
