#include "core/settings/ProfileFileAccess.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

const std::string kTooLarge = "it is larger than 16 MB";

std::string ErrnoText(int error) {
    return std::strerror(error);
}

// Why a file with these attributes cannot be read as a profile file.
std::optional<std::string> UnusableBecause(const struct stat& st) {
    if (S_ISDIR(st.st_mode)) {
        return ErrnoText(EISDIR);
    }
    if (!S_ISREG(st.st_mode)) {
        return std::string("it is not a regular file");
    }
    if (st.st_size > kMaxProfileFileBytes) {
        return kTooLarge;
    }
    return std::nullopt;
}

}  // namespace

FileStamp StampFrom(const struct stat& st) {
    return FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
}

FileCheck CheckProfileFile(const std::string& path) {
    FileCheck check;
    if (::stat(path.c_str(), &check.st) != 0) {
        check.missing = errno == ENOENT;
        check.problem = ErrnoText(errno);
        return check;
    }
    check.problem = UnusableBecause(check.st);
    return check;
}

FileBytes ReadProfileFile(const std::string& path) {
    FileBytes result;
    FileCheck check = CheckProfileFile(path);
    if (check.problem) {
        result.missing = check.missing;
        result.problem = check.problem;
        return result;
    }
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        result.missing = errno == ENOENT;
        result.problem = ErrnoText(errno);
        return result;
    }
    auto fail = [&](std::optional<std::string> problem) {
        ::close(fd);
        FileBytes failed;
        failed.problem = std::move(problem);
        return failed;
    };
    // What counts is the file that was opened, should it have been replaced since.
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return fail(ErrnoText(errno));
    }
    if (auto problem = UnusableBecause(st)) {
        return fail(problem);
    }
    result.bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof(buffer));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail(ErrnoText(errno));
        }
        if (n == 0) {
            break;
        }
        result.bytes.append(buffer, static_cast<std::size_t>(n));
        if (result.bytes.size() > static_cast<std::size_t>(kMaxProfileFileBytes)) {
            return fail(kTooLarge);
        }
    }
    ::close(fd);
    result.stamp = StampFrom(st);
    return result;
}

ProfileFileLock::ProfileFileLock(const std::string& path) {
    m_fd = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0) {
        m_problem = ErrnoText(errno);
        return;
    }
    while (::flock(m_fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            m_problem = ErrnoText(errno);
            return;
        }
    }
}

ProfileFileLock::~ProfileFileLock() {
    if (m_fd >= 0) {
        ::close(m_fd);  // releases the lock
    }
}
