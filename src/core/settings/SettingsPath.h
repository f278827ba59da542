#pragma once

#include <string>

// What decides where a program's settings file is when --settings names none.
struct SettingsPlace {
    std::string executable;        // the running program's full path
    bool besideWritable = false;   // whether the program's directory takes new files
    std::string installedDefault;  // the installed default settings file; empty when none
    std::string configHome;        // the user's configuration folder; empty when unknown
};

// The settings file of a run: `given` (--settings) when not empty. Otherwise
// the file beside the executable, named after it with "ini", while that folder
// is writable and holds no installed program (a settings file is there, or no
// installed default is); otherwise fleetwarden/fleetwarden.ini in the user's
// configuration folder, which the console and the command line share.
std::string ChooseSettingsPath(const std::string& given, const SettingsPlace& place);

// The user's configuration folder: `xdgConfigHome` when it is an absolute
// path, else `home`/.config (null or empty values count as unset; an unset
// home is looked up in the user database).
std::string UserConfigHome(const char* xdgConfigHome, const char* home);

// The place of the running program, from the file system and the environment.
SettingsPlace CurrentSettingsPlace();

// ChooseSettingsPath for the running program. A file in the user's folder is
// first made from the installed default, and so is its template: each once,
// owner-only, never over a file that is there.
std::string ResolveSettingsPath(const std::string& given);

// Copies `source` to `destination` unless `destination` exists. The new file
// is created owner-only (settings hold credentials) and appears whole, so a
// program starting at the same moment never reads half of it. True when
// `destination` exists afterwards.
bool CopyIfMissing(const std::string& source, const std::string& destination);

// The rule itself, for a given path and extension ("ini", "tpl"): the template
// is the settings path with "tpl" in place of "ini".
std::string SiblingFileWithExtension(const std::string& path, const std::string& extension);
// Full path of the running executable.
std::string ExecutablePath();
// The directory of the running executable.
std::string ExecutableDirectory();
// A file of the installation's data folder (default settings, template, guide).
std::string InstalledDataFile(const std::string& name);
