#include "core/staging/FilterLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include "InstallLayout.h"
#include "core/settings/SettingsPath.h"

FilterLibrary::FilterLibrary(const std::string& path) {
    // Local binding: the plug-in's symbols stay its own. The filter's exception
    // types still match the console's (see FilterIniFileTypes.h).
    m_handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle) {
        m_factory = reinterpret_cast<CreateFilterFunction>(::dlsym(m_handle, kCreateFilterSymbol));
    }
}

FilterLibrary::~FilterLibrary() {
    if (m_handle) {
        ::dlclose(m_handle);
    }
}

std::string FilterLibraryPath() {
    std::string beside = ExecutableDirectory() + "/libRegFilter.so";
    std::string installed =
        ExecutableDirectory() + "/" + fw::kPluginDirFromPrograms + "/libRegFilter.so";
    return ::access(beside.c_str(), F_OK) != 0 && ::access(installed.c_str(), F_OK) == 0 ? installed
                                                                                         : beside;
}
