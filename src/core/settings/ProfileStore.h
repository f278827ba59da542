#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// Process-wide access to profile files (the settings file, the template,
// params.ini). Files are cached and re-read when they change on disk, so a
// write is visible to the next read on any thread. Writes replace the file
// atomically; a new file is created readable by its owner only.
class ProfileStore {
public:
    // The full stored value, or nothing when the file, section or key is missing.
    static std::optional<std::string> Read(const std::string& path, const std::string& section,
                                           const std::string& key);
    // The section's lines in file order (blank and comment lines left out).
    static std::vector<std::string> ReadSectionLines(const std::string& path,
                                                     const std::string& section);
    // Each returns the reason the file could not be written, or nothing on success.
    static std::optional<std::string> Write(const std::string& path, const std::string& section,
                                            const std::string& key, const std::string& value);
    // Several keys of one section in one replacement of the file: all or none.
    static std::optional<std::string> WriteValues(
        const std::string& path, const std::string& section,
        const std::vector<std::pair<std::string, std::string>>& values);
    static std::optional<std::string> DeleteSection(const std::string& path,
                                                    const std::string& section);
};

// Text of a file as UTF-8: a UTF-16 file (with its byte-order mark) is converted,
// a UTF-8 byte-order mark is dropped.
std::string DecodeProfileText(const std::string& bytes);
