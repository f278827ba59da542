#include "core/staging/FilterConfigurationFile.h"

#include <algorithm>
#include <climits>
#include <memory>

#include "core/app/CTarnDoc.h"
#include "core/common/Sentinel.h"
#include "core/common/StringTable.h"
#include "core/common/TextFormat.h"
#include "core/settings/ProfileDocument.h"
#include "core/settings/ProfileStore.h"
#include "core/settings/SettingsPath.h"
#include "core/staging/FilterIniFileTypes.h"
#include "core/staging/TemplateFile.h"

namespace {

constexpr int kAvailableExclusions = 148;
constexpr int kCurrentExclusions = 149;
constexpr int kFileNotFound = 159;
constexpr int kCouldNotRead = 160;
constexpr int kCouldNotWrite = 161;
constexpr int kOutOfBufferMemory = 162;
constexpr int kUnknownFilterError = 163;

std::int32_t BufferSizeSetting(CTarnDoc& doc) {
    long size = ToLong(doc.GetINIValueStr("Misc", "DnFilterBufferSize", IfMissing::Report));
    return static_cast<std::int32_t>(std::clamp<long>(size, INT32_MIN, INT32_MAX));
}

// A definition of the settings file, read whole: the 254-character cut of an
// ordinary read would drop or split the last pairs, and the settings they name
// would reach the terminals.
std::string SiteDefinition(CTarnDoc& doc, const std::string& section, const std::string& name) {
    std::string key(TrimBlanks(name));
    if (auto value = doc.State().Profiles().Read(doc.GetINIPath(), section, key);
        value && *value != kNoneNoneNone) {
        return *value;
    }
    return doc.GetINIValueStr(section, key, IfMissing::Report);  // reports the missing name
}

// Every selected entry, in list order. All of them: an exclusion left out
// would send the settings it is meant to keep back.
std::vector<std::size_t> SelectedInListOrder(const ExclusionChoice& choice) {
    std::vector<std::size_t> indices;
    for (std::size_t index : choice.selected) {
        if (index < choice.list.names.size()) {
            indices.push_back(index);
        }
    }
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    return indices;
}

void ApplyExclusions(CTarnDoc& doc, const ExclusionChoice& choice, const std::string& templateFile,
                     RegistryFilter& filter) {
    const std::string& available = LoadResString(kAvailableExclusions);
    const std::string& current = LoadResString(kCurrentExclusions);
    doc.DeleteINISection(current);
    for (std::size_t index : SelectedInListOrder(choice)) {
        const std::string& name = choice.list.names[index];
        std::string definition =
            index < choice.list.templateCount
                ? GetTemplateValue(doc.State().Profiles(), templateFile, available, name)
                : SiteDefinition(doc, available, name);
        MultiSzLine exclusion(available, name, definition);
        doc.WriteINIValueStr(current, name, "");
        const auto& items = exclusion.Items();
        for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
            filter.AddExclusion(items[i].c_str(), items[i + 1].c_str());
        }
    }
}

}  // namespace

bool FilterConfigurationFile(CTarnDoc& doc, const ExclusionChoice& choice, const std::string& input,
                             const std::string& templateFile, const std::string& output,
                             const std::string& libraryPath) {
    IUserMessages& messages = doc.Messages();
    auto fail = [&](int id, const std::string* file) {
        std::string text = LoadResString(id);
        if (file) {
            text += "\n" + *file;
        }
        messages.ShowMessage(text, MessageIcon::Warning);
        return false;
    };
    // Declared first so that it is unloaded last, after the filter object and
    // any exception of the plug-in are gone.
    FilterLibrary library(libraryPath);
    if (!library.Factory()) {
        return fail(ids::kFilterLibraryMissing, nullptr);
    }
    try {
        std::int32_t bufferSize = BufferSizeSetting(doc);
        std::unique_ptr<RegistryFilter> filter(
            library.Factory()(input.c_str(), templateFile.c_str(), output.c_str(), bufferSize));
        if (!filter) {
            return fail(ids::kFilterLibraryMissing, nullptr);
        }
        ApplyExclusions(doc, choice, templateFile, *filter);
        filter->Run();
        return true;
    } catch (const FilterIniFileTypes::InfileNotFoundEx&) {
        return fail(kFileNotFound, &input);
    } catch (const FilterIniFileTypes::InfileReadEx&) {
        return fail(kCouldNotRead, &input);
    } catch (const FilterIniFileTypes::InfileWriteEx&) {
        return fail(kCouldNotWrite, &input);
    } catch (const FilterIniFileTypes::InfileOutOfMem&) {
        return fail(kOutOfBufferMemory, &input);
    } catch (const FilterIniFileTypes::TemplFileNotFoundEx&) {
        return fail(kCouldNotRead, &templateFile);
    } catch (const FilterIniFileTypes::TemplOutOfMem&) {
        return fail(kOutOfBufferMemory, &templateFile);
    } catch (const FilterIniFileTypes::OutfileWriteEx&) {
        return fail(kCouldNotWrite, &output);
    } catch (...) {
        return fail(kUnknownFilterError, nullptr);
    }
}
