#include "core/settings/SettingsPath.h"

#include <unistd.h>

#include <climits>

std::string ExecutablePath() {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0) {
        return {};
    }
    return std::string(buffer, static_cast<std::size_t>(n));
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

std::string DefaultSettingsPath() {
    return SiblingFileWithExtension(ExecutablePath(), "ini");
}
