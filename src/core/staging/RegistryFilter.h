#pragma once

#include <cstdint>

// The binary interface between the console and the configuration filter
// plug-in (libRegFilter.so), which implements it. The console loads the
// plug-in for each filter run, creates one filter with C_CreateFilter, hands
// it the exclusion pairs, runs it, destroys it and unloads the plug-in.
// Failures are exceptions of FilterIniFileTypes (see FilterIniFileTypes.h).
class RegistryFilter {
public:
    // The order of the virtual operations is part of the interface: AddExclusion
    // is the first and Run the sixth; new operations go after Run.

    // One exclusion pair: a key path and a value name ("*" or "" for the whole
    // key and its subkeys). Returns the number of pairs held so far.
    virtual int AddExclusion(const char* keyPath, const char* valueName) = 0;
    virtual int ExclusionCount() const = 0;
    // The buffer size in effect: the one asked for, or the plug-in's default.
    virtual std::int32_t BufferSize() const = 0;
    // What the last Run removed: keys (subkeys included) and single values.
    virtual int RemovedKeys() const = 0;
    virtual int RemovedValues() const = 0;
    // Writes the output file: the input without the excluded keys and values.
    virtual void Run() = 0;

    // Last, so that it moves none of the operations above.
    virtual ~RegistryFilter() = default;
};

// The factory, exported by name with C linkage. The paths are NUL-terminated
// texts: the configuration file to filter, the template file and the file to
// write. A buffer size of 0 or less asks for the plug-in's default; an input
// or template larger than the buffer is refused. Returns a filter or throws.
extern "C" __attribute__((visibility("default"))) RegistryFilter* C_CreateFilter(
    const char* inputFile, const char* templateFile, const char* outputFile,
    std::int32_t bufferSize);

using CreateFilterFunction = decltype(&C_CreateFilter);
inline constexpr const char* kCreateFilterSymbol = "C_CreateFilter";
