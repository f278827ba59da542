#include "core/download/DownloadDialogFields.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

#include "core/app/CTarnDoc.h"
#include "core/common/StringTable.h"
#include "core/settings/SettingsPath.h"
#include "core/staging/FilterIniFileTypes.h"
#include "core/staging/ProfileSectionReader.h"

namespace {

constexpr int kCurrentExclusions = 149;

bool SameLetter(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

bool BeginsWith(std::string_view text, std::string_view start) {
    return text.size() >= start.size() &&
           std::equal(start.begin(), start.end(), text.begin(), SameLetter);
}

bool Equals(std::string_view a, std::string_view b) {
    return a.size() == b.size() && BeginsWith(a, b);
}

// The list's search order: from the second entry to the end, then the first.
template <typename Test>
std::optional<std::size_t> FindFromSecond(const std::vector<std::string>& names, Test test) {
    for (std::size_t step = 1; step <= names.size(); ++step) {
        std::size_t i = step % names.size();
        if (test(names[i])) {
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace

std::vector<std::size_t> PreviousExclusionChoice(ProfileStore& store,
                                                 const std::vector<std::string>& names,
                                                 const std::string& settingsPath) {
    const std::string& section = LoadResString(kCurrentExclusions);
    ProfileSectionReader reader(settingsPath,
                                std::make_unique<SettingsSectionSource>(store, section));
    std::vector<std::size_t> selected;
    for (std::string_view line : reader) {
        std::string name = ProfileLine(section, line).Name();
        if (name.empty()) {
            continue;  // it would begin every entry
        }
        // The exact name first: a saved "Net" must not re-select "Network",
        // or the settings "Net" kept back would go out with the next run.
        auto found =
            FindFromSecond(names, [&](const std::string& entry) { return Equals(entry, name); });
        if (!found) {
            found = FindFromSecond(
                names, [&](const std::string& entry) { return BeginsWith(entry, name); });
        }
        if (found && std::find(selected.begin(), selected.end(), *found) == selected.end()) {
            selected.push_back(*found);
        }
    }
    return selected;
}

DownloadDialogFields ReadDownloadDialogFields(CTarnDoc& doc) {
    DownloadDialogFields fields;
    for (const auto& entry : doc.State().Terminals().Entries()) {
        fields.terminalNames.push_back(entry.record.m_name);
    }
    fields.path = doc.GetINIValueStr("Misc", "DnloadPath", IfMissing::Report);
    fields.reboot = doc.GetINIValueStr("Misc", "CfgReboot", IfMissing::Report) == "Yes";
    ProfileStore& store = doc.State().Profiles();
    fields.exclusions = ReadAvailableExclusions(store, doc.GetINIPath(), doc.GetTemplatePath());
    if (fields.exclusions.complete) {
        try {
            fields.selectedExclusions =
                PreviousExclusionChoice(store, fields.exclusions.names, doc.GetINIPath());
        } catch (const FilterIniFileTypes::OutOfBufferMemException&) {
            fields.exclusions.complete = false;
        }
    }
    return fields;
}
