#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/staging/ExclusionList.h"
#include "core/staging/FilterLibrary.h"

class CTarnDoc;

// The exclusions a filter run applies: the download's exclusion list and the
// indices of its selected entries.
struct ExclusionChoice {
    const ExclusionList& list;
    std::vector<std::size_t> selected;
};

// The filter run: removes the chosen exclusions from the configuration file
// `input` through the filter plug-in and writes the result to `output`.
// Records the chosen names in section "CurrentExclusions" of the settings file.
// Returns true on success; false after it has shown its message through the
// document's messages. Uses neither the toolkit nor process-wide state, so a
// worker thread may run it.
bool FilterConfigurationFile(CTarnDoc& doc, const ExclusionChoice& choice, const std::string& input,
                             const std::string& templateFile, const std::string& output,
                             const std::string& libraryPath = FilterLibraryPath());
