#include "StateDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "FleetConfig.h"

namespace simfleet {

namespace {

bool MakeDirectory(const std::string& path, std::string& error) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = path + " is not a directory";
        return false;
    }
    return true;
}

}  // namespace

bool StateDir::Prepare(std::string& error) const {
    return MakeDirectory(m_root, error);
}

std::string StateDir::PathOf(in_addr terminal, const std::string& name) const {
    return m_root + "/" + FormatIpv4(terminal) + "/" + name;
}

bool StateDir::Keep(in_addr terminal, const std::string& name, const std::string& content,
                    std::string& error) const {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        error = "\"" + name + "\" is not a file name";
        return false;
    }
    if (!MakeDirectory(m_root + "/" + FormatIpv4(terminal), error)) {
        return false;
    }
    std::string path = PathOf(terminal, name);
    std::string temporary = path + ".partial";
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "cannot write " + temporary + ": " + std::strerror(errno);
        return false;
    }
    std::size_t written = 0;
    while (written < content.size()) {
        ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = "cannot write " + temporary + ": " + std::strerror(errno);
            ::close(fd);
            ::unlink(temporary.c_str());
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot replace " + path + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace simfleet
