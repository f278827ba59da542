#include "core/staging/TemplateFile.h"

#include "core/app/CTarnDoc.h"

#include "core/settings/ProfileStore.h"

namespace {
// The template is read through a buffer of 2000 wide characters.
constexpr std::size_t kTemplateValueLimit = 1998;
}  // namespace

std::size_t WideCharacterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80) {
            // A four-byte sequence lies outside the basic plane: two code units.
            count += c >= 0xF0 ? 2 : 1;
        }
    }
    return count;
}

std::string GetTemplateValue(ProfileStore& store, const std::string& file,
                             const std::string& section, const std::string& name) {
    auto value = store.Read(file, section, "\"" + name + "\"");
    if (!value) {
        return {};
    }
    if (WideCharacterCount(*value) >= kTemplateValueLimit) {
        throw FilterIniFileTypes::OutOfBufferMemException();
    }
    return *value;
}

std::string GetTemplateVersion(CTarnDoc& doc) {
    try {
        return GetTemplateValue(doc.State().Profiles(), doc.GetTemplatePath(), "Template-Version",
                                "Version");
    } catch (const FilterIniFileTypes::FilterException&) {
        return {};
    }
}
