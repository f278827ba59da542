#include "core/staging/ExclusionList.h"

#include "core/common/StringTable.h"
#include "core/staging/FilterIniFileTypes.h"
#include "core/staging/ProfileSectionReader.h"

namespace {
constexpr int kAvailableExclusions = 148;
}

std::map<std::string, MultiSzLine> ReadTemplateExclusions(ProfileStore& store,
                                                          const std::string& templatePath) {
    const std::string& section = LoadResString(kAvailableExclusions);
    ProfileSectionReader reader(templatePath,
                                std::make_unique<TemplateSectionSource>(store, section));
    std::map<std::string, MultiSzLine> exclusions;
    for (std::string_view line : reader) {
        MultiSzLine exclusion(section, line);
        std::string name = exclusion.Name();
        exclusions.insert_or_assign(std::move(name), std::move(exclusion));
    }
    return exclusions;
}

ExclusionList ReadAvailableExclusions(ProfileStore& store, const std::string& settingsPath,
                                      const std::string& templatePath) {
    const std::string& section = LoadResString(kAvailableExclusions);
    ExclusionList list;
    try {
        for (const auto& entry : ReadTemplateExclusions(store, templatePath)) {
            list.names.push_back(entry.first);
        }
        list.templateCount = list.names.size();
        ProfileSectionReader reader(settingsPath,
                                    std::make_unique<SettingsSectionSource>(store, section));
        for (std::string_view line : reader) {
            list.names.push_back(ProfileLine(section, line).Name());
        }
    } catch (const FilterIniFileTypes::OutOfBufferMemException&) {
        list.complete = false;
    }
    return list;
}
