#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/staging/ExclusionList.h"

class CTarnDoc;

class ProfileStore;

// What the Download Configuration dialog shows when it opens.
struct DownloadDialogFields {
    std::vector<std::string> terminalNames;       // the database's names, in its order
    std::string path;                             // "Misc"/DnloadPath
    bool reboot = false;                          // "Misc"/CfgReboot is exactly "Yes"
    ExclusionList exclusions;                     // the template's, then the settings file's
    std::vector<std::size_t> selectedExclusions;  // the last run's choice
};

// Reads the fields. A section too large for its reader leaves the exclusions
// as far as they were read, no previous choice, and `exclusions.complete`
// false (string 162 is the message for it).
DownloadDialogFields ReadDownloadDialogFields(CTarnDoc& doc);

// The entries to select again for the names of section "CurrentExclusions":
// for each name, the first entry searched from the second one on, wrapping
// around to the first, that equals the name without regard to case, or else
// the first that begins with it. A name that matches nothing selects nothing.
// Throws OutOfBufferMemException when the section does not fit its reader.
std::vector<std::size_t> PreviousExclusionChoice(ProfileStore& store,
                                                 const std::vector<std::string>& names,
                                                 const std::string& settingsPath);
