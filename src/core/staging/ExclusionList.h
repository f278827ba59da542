#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "core/staging/ProfileLine.h"

class ProfileStore;

// The exclusions a configuration download offers: first the template's, in
// byte-wise name order, then the settings file's, in file order. The filter
// run takes the definition of entry i from the template when i < templateCount,
// otherwise from the settings file.
struct ExclusionList {
    std::vector<std::string> names;
    std::size_t templateCount = 0;
    // False when a section did not fit its reader's buffer: the list holds what
    // was read before (string 162 is the message for it).
    bool complete = true;
};

// Section "AvailableExclusions" of the template, by name (byte-wise, case-
// sensitive order); a later line with a name already present replaces the
// earlier one. Empty when the template is missing. Throws
// OutOfBufferMemException when the section does not fit its buffer.
std::map<std::string, MultiSzLine> ReadTemplateExclusions(ProfileStore& store,
                                                          const std::string& templatePath);

// The template's exclusions, then section "AvailableExclusions" of the settings file.
ExclusionList ReadAvailableExclusions(ProfileStore& store, const std::string& settingsPath,
                                      const std::string& templatePath);
