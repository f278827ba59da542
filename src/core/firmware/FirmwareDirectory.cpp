#include "core/firmware/FirmwareDirectory.h"

#include <sys/stat.h>

#include <algorithm>

#include "core/app/CTarnDoc.h"
#include "core/settings/ProfileStore.h"

namespace {

constexpr char kNoPath[] = "Must Provide A Firmware Location Path";
constexpr char kNotFound[] = "Could Not Find File:";
constexpr char kNoImageName[] = "Could Not Locate Image Name In PARAMS.INI File";
// The description file's value is read into a buffer of this many characters.
constexpr std::size_t kImageNameLimit = 255;

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The image must be a file of the firmware directory itself: a name that climbs
// out of it ("../..") or into another directory would copy an unrelated local
// file to the server, and line breaks would split the FTP command.
bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    return std::none_of(name.begin(), name.end(),
                        [](unsigned char c) { return c == '/' || c < 0x20 || c == 0x7F; });
}

}  // namespace

std::string TrimFirmwareDirectory(const std::string& typed) {
    std::string directory = typed;
    while (directory.size() > 1 && directory.back() == '/') {
        directory.pop_back();
    }
    return directory;
}

std::string FirmwareFilePath(const std::string& directory, const std::string& name) {
    return (directory == "/" ? directory : directory + "/") + name;
}

std::optional<FirmwareFiles> CheckFirmwareDirectory(CTarnDoc& doc, const std::string& typed) {
    auto refuse = [&doc](const std::string& text) {
        doc.Messages().ShowMessage(text, MessageIcon::Warning);
        return std::nullopt;
    };
    if (typed.empty()) {
        return refuse(kNoPath);
    }
    FirmwareFiles files;
    files.directory = TrimFirmwareDirectory(typed);
    files.bootstrapPresent =
        IsRegularFile(FirmwareFilePath(files.directory, kFirmwareBootstrapName));

    const std::string params = FirmwareFilePath(files.directory, kFirmwareParamsName);
    if (!IsRegularFile(params)) {
        return refuse(std::string(kNotFound) + "\n" + params);
    }
    std::string image =
        doc.State().Profiles().Read(params, "Image", "ImageFileName").value_or(kNoneNoneNone);
    image.resize(std::min(image.size(), kImageNameLimit));
    if (image == kNoneNoneNone || !IsPlainFileName(image)) {
        return refuse(kNoImageName);
    }
    files.imageName = image;
    const std::string imagePath = FirmwareFilePath(files.directory, files.imageName);
    if (!IsRegularFile(imagePath)) {
        return refuse(std::string(kNotFound) + "\n" + imagePath);
    }
    return files;
}
