#pragma once

#include <optional>
#include <string>

class CTarnDoc;

// A firmware directory that passed its checks: what a run copies to the
// staging server.
struct FirmwareFiles {
    std::string directory;  // without a trailing "/", except the root "/"
    bool bootstrapPresent = false;
    std::string imageName;  // a plain file name in the directory
};

inline constexpr char kFirmwareParamsName[] = "params.ini";
inline constexpr char kFirmwareBootstrapName[] = "bootstrap.exe";

// The directory as typed, without its trailing "/" (the root keeps it).
std::string TrimFirmwareDirectory(const std::string& typed);
// A file of that directory: "dir/name", or "/name" in the root.
std::string FirmwareFilePath(const std::string& directory, const std::string& name);

// Checks the typed directory in order: a path given, params.ini present, an
// image name in its [Image] section, the image present. The first check that
// fails shows its message and gives nothing. bootstrap.exe may be absent.
std::optional<FirmwareFiles> CheckFirmwareDirectory(CTarnDoc& doc, const std::string& typed);
