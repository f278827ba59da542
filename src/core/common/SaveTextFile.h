#pragma once

#include <optional>
#include <string>

// Writes `text` as the whole of the file at `path`: into a new temporary file
// beside it, then renamed over it. A symbolic link at `path` is replaced, never
// written through, and nobody sees half a file. A new file gets the usual
// permissions (0666 less the umask); a replaced regular file keeps its own.
// Returns why the file could not be written, or nothing when it was.
std::optional<std::string> SaveTextFile(const std::string& path, const std::string& text);
