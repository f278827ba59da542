#include "core/common/SaveTextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::optional<std::string> SaveTextFile(const std::string& path, const std::string& text) {
    auto slash = path.rfind('/');
    std::string directory = slash == std::string::npos ? "." : path.substr(0, slash);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    struct stat st {};
    bool keepMode = ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);

    // O_EXCL creates the file or fails; it never opens what a link points to.
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = directory + "/." + base + "." + std::to_string(::getpid()) + "-" +
               std::to_string(attempt);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        return std::string(std::strerror(errno));
    }
    int error = keepMode && ::fchmod(fd, st.st_mode & 07777) != 0 ? errno : 0;
    for (std::size_t done = 0; error == 0 && done < text.size();) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n >= 0) {
            done += static_cast<std::size_t>(n);
        } else if (errno != EINTR) {
            error = errno;
        }
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temp.c_str());
        return std::string(std::strerror(error));
    }
    return std::nullopt;
}
