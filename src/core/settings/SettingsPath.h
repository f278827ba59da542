#pragma once

#include <string>

// The settings file: the one given with --settings, otherwise the running
// executable's file name with its extension replaced by "ini" (".ini" appended
// when it has none), beside the executable. Computed afresh on every call.
std::string GetINIPath();
// The template file: the settings path with "tpl" in place of "ini".
std::string GetTemplatePath();

// Makes every later GetINIPath() return `path` (empty: back to the rule above).
void SetINIPathOverride(const std::string& path);

// The rule itself, for a given executable path and extension ("ini", "tpl").
std::string SiblingFileWithExtension(const std::string& executablePath,
                                     const std::string& extension);
// Full path of the running executable.
std::string ExecutablePath();
