#pragma once

#include <memory>
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

// Access to profile files (the settings file, the template, params.ini); the
// shared state holds the run's one store. Files are cached and re-read when they change on disk, so
// a write is visible to the next read on any thread; a file that could not be read is never cached.
// Writes replace the file atomically, under an advisory lock on "<file>.lock" beside it, so writers
// in other processes lose nothing; a new file is created readable by its owner only.
class ProfileStore {
public:
    ProfileStore();
    ~ProfileStore();
    ProfileStore(const ProfileStore&) = delete;
    ProfileStore& operator=(const ProfileStore&) = delete;

    // The full stored value, or nothing when the file, section or key is missing
    // (or the file cannot be used).
    std::optional<std::string> Read(const std::string& path, const std::string& section,
                                    const std::string& key);
    // Read, also telling why the file could not be used.
    ProfileLookup Lookup(const std::string& path, const std::string& section,
                         const std::string& key);
    // The section's lines in file order (blank and comment lines left out).
    std::vector<std::string> ReadSectionLines(const std::string& path, const std::string& section);
    // Each returns the reason the file could not be written, or nothing on success.
    // A file that exists but could not be read is never replaced.
    std::optional<std::string> Write(const std::string& path, const std::string& section,
                                     const std::string& key, const std::string& value);
    // Several keys of one section in one replacement of the file: all or none.
    std::optional<std::string> WriteValues(
        const std::string& path, const std::string& section,
        const std::vector<std::pair<std::string, std::string>>& values);
    std::optional<std::string> DeleteSection(const std::string& path, const std::string& section);

private:
    class Cache;
    std::unique_ptr<Cache> m_cache;
};

// Text of a file as UTF-8: a UTF-16 file (with its byte-order mark) is converted,
// a UTF-8 byte-order mark is dropped.
std::string DecodeProfileText(const std::string& bytes);
