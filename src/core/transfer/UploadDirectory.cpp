#include "core/transfer/UploadDirectory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {
const char kCantCreate[] = "Can't Create Directory: ";
const char kCantAccess[] = "Cant Access Directory: ";

bool AccessDenied(int error) {
    return error == EACCES || error == EPERM || error == EROFS;
}
}  // namespace

std::string NormaliseLocalDirectory(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::string PrepareUploadDirectory(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode)) {
            return kCantCreate + path;
        }
        // A file is created in it and renamed there: both need write and search.
        if (::access(path.c_str(), W_OK | X_OK) != 0) {
            return AccessDenied(errno) ? kCantAccess + path : kCantCreate + path;
        }
        return {};
    }
    if (AccessDenied(errno)) {
        return kCantAccess + path;
    }
    if (errno != ENOENT || ::mkdir(path.c_str(), 0700) != 0) {
        return kCantCreate + path;
    }
    return {};
}

std::string FileInDirectory(const std::string& directory, const std::string& fileName) {
    if (!directory.empty() && directory.back() == '/') {
        return directory + fileName;
    }
    return directory + "/" + fileName;
}

void RestrictToOwner(const std::string& file) {
    // Through a descriptor of the file itself, so a symbolic link put in its
    // place changes nothing elsewhere.
    int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        ::fchmod(fd, S_IRUSR | S_IWUSR);
    }
    ::close(fd);
}
