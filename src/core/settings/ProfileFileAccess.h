#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>

// Reading and locking profile files on disk, for the profile store.

// Files larger than this are refused rather than read whole.
inline constexpr long long kMaxProfileFileBytes = 16LL * 1024 * 1024;

// What tells one version of a file from another on disk.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    bool operator==(const FileStamp& o) const {
        return device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

FileStamp StampFrom(const struct stat& st);

// The state of a file before it is read: its attributes, or why it cannot be
// read (`missing` when there is no file at all).
struct FileCheck {
    struct stat st {};
    bool missing = false;
    std::optional<std::string> problem;
};

FileCheck CheckProfileFile(const std::string& path);

// A whole file as read, or why it could not be (`missing`: there is none).
struct FileBytes {
    FileStamp stamp;
    std::string bytes;
    bool missing = false;
    std::optional<std::string> problem;
};

// Reads a whole profile file, refusing anything but a regular file of sane
// size: a FIFO would block the reader, a huge file exhaust its memory.
FileBytes ReadProfileFile(const std::string& path);

// An exclusive advisory lock on "<file>.lock", held while the object lives. The
// file itself cannot carry the lock: every write replaces it by another.
class ProfileFileLock {
public:
    explicit ProfileFileLock(const std::string& path);
    ~ProfileFileLock();
    ProfileFileLock(const ProfileFileLock&) = delete;
    ProfileFileLock& operator=(const ProfileFileLock&) = delete;
    // Why the lock could not be had; nothing when it is held.
    const std::optional<std::string>& Problem() const { return m_problem; }

private:
    int m_fd = -1;
    std::optional<std::string> m_problem;
};
