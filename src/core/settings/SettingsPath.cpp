#include "core/settings/SettingsPath.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "InstallLayout.h"

namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string ExecutablePath() {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0) {
        return {};
    }
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::string ExecutableDirectory() {
    std::string program = ExecutablePath();
    std::size_t slash = program.rfind('/');
    return slash == std::string::npos ? "." : program.substr(0, slash);
}

std::string InstalledDataFile(const std::string& name) {
    return ExecutableDirectory() + "/" + fw::kDataDirFromPrograms + "/" + name;
}

std::string SiblingFileWithExtension(const std::string& path, const std::string& extension) {
    std::size_t slash = path.rfind('/');
    std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart) {
        return path + "." + extension;
    }
    return path.substr(0, dot + 1) + extension;
}

std::string ChooseSettingsPath(const std::string& given, const SettingsPlace& place) {
    if (!given.empty()) {
        return given;
    }
    std::string beside = SiblingFileWithExtension(place.executable, "ini");
    bool installed = !place.installedDefault.empty() && !Exists(beside);
    if ((place.besideWritable && !installed) || place.configHome.empty()) {
        return beside;
    }
    return place.configHome + "/fleetwarden/fleetwarden.ini";
}

std::string UserConfigHome(const char* xdgConfigHome, const char* home) {
    if (xdgConfigHome && xdgConfigHome[0] == '/') {
        return xdgConfigHome;
    }
    std::string base = home ? home : "";
    if (base.empty()) {
        const passwd* user = ::getpwuid(::getuid());
        base = user && user->pw_dir ? user->pw_dir : "";
    }
    return base.empty() ? std::string() : base + "/.config";
}

SettingsPlace CurrentSettingsPlace() {
    SettingsPlace place;
    place.executable = ExecutablePath();
    place.besideWritable = ::access(ExecutableDirectory().c_str(), W_OK) == 0;
    std::string installedDefault = InstalledDataFile("fleetwarden.ini");
    if (Exists(installedDefault)) {
        place.installedDefault = installedDefault;
    }
    place.configHome = UserConfigHome(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    return place;
}

std::string ResolveSettingsPath(const std::string& given) {
    SettingsPlace place = CurrentSettingsPlace();
    std::string path = ChooseSettingsPath(given, place);
    if (given.empty() && !place.configHome.empty() && path.starts_with(place.configHome + "/")) {
        // A failure here leaves the file missing, which the settings reader
        // reports with the file's name and the reason.
        std::string folder = path.substr(0, path.rfind('/'));
        ::mkdir(place.configHome.c_str(), 0700);
        ::mkdir(folder.c_str(), 0700);
        if (!place.installedDefault.empty()) {
            CopyIfMissing(place.installedDefault, path);
            CopyIfMissing(SiblingFileWithExtension(place.installedDefault, "tpl"),
                          SiblingFileWithExtension(path, "tpl"));
        }
    }
    return path;
}

bool CopyIfMissing(const std::string& source, const std::string& destination) {
    if (Exists(destination)) {
        return true;
    }
    std::ifstream in(source, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    // Written aside, then linked into place: the link fails rather than
    // replace a file that another start put there meanwhile.
    std::string aside = destination + ".XXXXXX";
    int fd = ::mkstemp(aside.data());
    if (fd < 0) {
        return false;
    }
    bool written = ::fchmod(fd, 0600) == 0 && WriteAll(fd, text.str());
    written = ::close(fd) == 0 && written;
    if (written) {
        ::link(aside.c_str(), destination.c_str());
    }
    ::unlink(aside.c_str());
    return Exists(destination);
}
