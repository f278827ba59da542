#pragma once

#include <string>

// The local directory an uploaded configuration goes into, by this platform's
// rules: "/" separates, any character may stand in a name.

// Drops trailing "/" characters, except the one of the root itself.
std::string NormaliseLocalDirectory(std::string path);

// Makes sure files can be put into `path`: a missing directory whose parent
// exists is created, owner-only (0700), one level only. Returns the empty text
// when the directory is usable, otherwise the message to show:
// "Can't Create Directory: " or "Cant Access Directory: " and the path.
std::string PrepareUploadDirectory(const std::string& path);

// The local file of `fileName` in the directory.
std::string FileInDirectory(const std::string& directory, const std::string& fileName);

// Restricts an uploaded file, which may hold secrets, to its owner (0600). Does
// nothing to anything but a regular file (a missing one included).
void RestrictToOwner(const std::string& file);
