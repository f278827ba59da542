#pragma once

#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "core/firmware/FirmwareDirectory.h"

class CTarnDoc;
class IFtpClient;
class IProgressNotice;
class MacByItemTable;

// A selected entry of a terminal list: its text (the terminal's name) and the
// MAC address of its row. Together they find the terminal's record when the
// request goes out; an entry without a MAC address finds none.
struct FirmwareTarget {
    std::string name;
    std::optional<std::string> mac;
};

// The selected rows (index and text, in list order) of a dialog's terminal
// list, which maps rows to MAC addresses through the main list's table.
std::vector<FirmwareTarget> FirmwareTargetsOfRows(
    const MacByItemTable& macByItem, const std::vector<std::pair<int, std::string>>& rows);

// What became of one target.
struct FirmwareRequestOutcome {
    std::string ip;  // the record's address; empty when the entry matched no record
    // "NoneNoneNone" once the request was written; else the text of the write
    // that failed (trap destination or request). Empty when nothing was sent.
    std::string result;

    bool Requested() const;
};

// Copies the directory's files to the staging server over one connection: the
// server's bootstrap.exe is deleted first (so a directory without one leaves
// none there), then bootstrap.exe when present, params.ini and the image are
// put, each named on the notice. A failure is shown; files already put stay.
bool PutFirmwareFiles(CTarnDoc& doc, IFtpClient& client, const FirmwareFiles& files,
                      IProgressNotice& notice, std::stop_token stop = {});

// Asks every target to fetch the image: its trap destination first (the older
// model's second destination object as the fallback), then the transfer
// request, binary. A terminal that fails is reported and skipped; the others
// still go. Served "Misc"/TransferParallel at a time, messages in list order.
std::vector<FirmwareRequestOutcome> RequestFirmwareDownloads(
    CTarnDoc& doc, const std::vector<FirmwareTarget>& targets, const std::string& imageName,
    std::stop_token stop = {});

// How a firmware run ended. After a failed check the dialog stays open with
// its input; once the copy has begun it closes, whatever the outcome.
enum class FirmwareRunEnd { CheckFailed, CopyFailed, Stopped, Completed };

struct FirmwareRunResult {
    FirmwareRunEnd end = FirmwareRunEnd::CheckFailed;
    std::vector<FirmwareRequestOutcome> outcomes;  // per target, once requests went out
};

// The whole run of the firmware dialog's OK: the checks, the copy, the
// requests, the completion message and the saved directory ("Misc"/DnloadFWPath).
FirmwareRunResult DownloadFirmware(CTarnDoc& doc, IFtpClient& client, const std::string& typed,
                                   const std::vector<FirmwareTarget>& targets,
                                   IProgressNotice& notice, std::stop_token stop = {});
