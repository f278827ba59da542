#pragma once

#include <string>

// The settings file when none is given with --settings: the running
// executable's file name with its extension replaced by "ini" (".ini" appended
// when it has none), beside the executable.
std::string DefaultSettingsPath();

// The rule itself, for a given path and extension ("ini", "tpl"): the template
// is the settings path with "tpl" in place of "ini".
std::string SiblingFileWithExtension(const std::string& path, const std::string& extension);
// Full path of the running executable.
std::string ExecutablePath();
