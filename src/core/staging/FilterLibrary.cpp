#include "core/staging/FilterLibrary.h"

#include <dlfcn.h>

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
    std::string program = ExecutablePath();
    std::size_t slash = program.rfind('/');
    std::string directory = slash == std::string::npos ? "." : program.substr(0, slash);
    return directory + "/libRegFilter.so";
}
