#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// What a read found: the value, or nothing; and when the file itself could not
// serve (missing, not a regular file, too large, unreadable), why not.
struct ProfileLookup {
    std::optional<std::string> value;
    std::optional<std::string> fileProblem;
};

// Process-wide access to profile files (the settings file, the template,
// params.ini). Files are cached and re-read when they change on disk, so a
// write is visible to the next read on any thread; a file that could not be
// read is never cached. Writes replace the file atomically, under an advisory
// lock on "<file>.lock" beside it, so writers in other processes lose nothing;
// a new file is created readable by its owner only.
class ProfileStore {
public:
    // The full stored value, or nothing when the file, section or key is missing
    // (or the file cannot be used).
    static std::optional<std::string> Read(const std::string& path, const std::string& section,
                                           const std::string& key);
    // Read, also telling why the file could not be used.
    static ProfileLookup Lookup(const std::string& path, const std::string& section,
                                const std::string& key);
    // The section's lines in file order (blank and comment lines left out).
    static std::vector<std::string> ReadSectionLines(const std::string& path,
                                                     const std::string& section);
    // Each returns the reason the file could not be written, or nothing on success.
    // A file that exists but could not be read is never replaced.
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
