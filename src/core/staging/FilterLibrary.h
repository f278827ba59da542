#pragma once

#include <string>

#include "core/staging/RegistryFilter.h"

// The filter plug-in, loaded for one filter run: dlopen at construction,
// dlclose at destruction. Anything the plug-in made (its filter object, an
// exception it threw) must be gone before this object is, since no code of the
// plug-in can run once it is unloaded.
class FilterLibrary {
public:
    explicit FilterLibrary(const std::string& path);
    ~FilterLibrary();
    FilterLibrary(const FilterLibrary&) = delete;
    FilterLibrary& operator=(const FilterLibrary&) = delete;

    // The factory, or null when the library or its factory is missing.
    CreateFilterFunction Factory() const { return m_factory; }

private:
    void* m_handle = nullptr;
    CreateFilterFunction m_factory = nullptr;
};

// libRegFilter.so beside the running program (a build), else in the
// installation's plug-in folder (an installed program).
std::string FilterLibraryPath();
