#include "core/settings/SettingsPath.h"

#include <unistd.h>

#include <climits>

#include "core/common/GuardedText.h"

namespace {
GuardedText& Override() {
    static GuardedText path;
    return path;
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

std::string SiblingFileWithExtension(const std::string& executablePath,
                                     const std::string& extension) {
    std::size_t slash = executablePath.rfind('/');
    std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = executablePath.rfind('.');
    if (dot == std::string::npos || dot < nameStart) {
        return executablePath + "." + extension;
    }
    return executablePath.substr(0, dot + 1) + extension;
}

void SetINIPathOverride(const std::string& path) {
    Override().Set(path);
}

std::string GetINIPath() {
    std::string path = Override().Get();
    if (!path.empty()) {
        return path;
    }
    return SiblingFileWithExtension(ExecutablePath(), "ini");
}

std::string GetTemplatePath() {
    std::string ini = GetINIPath();
    std::size_t slash = ini.rfind('/');
    std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = ini.rfind('.');
    if (dot == std::string::npos || dot < nameStart) {
        return ini + ".tpl";
    }
    return ini.substr(0, dot + 1) + "tpl";
}
