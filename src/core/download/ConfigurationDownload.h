#pragma once

#include <cstddef>
#include <stop_token>
#include <string>
#include <vector>

#include "core/staging/FilterConfigurationFile.h"

class CTarnDoc;
class IFtpClient;
class IProgressNotice;
class MacByItemTable;

// A selected entry of the download's target list: its row and its text (a
// terminal's name). Row i of the list is the terminal at position i of the
// terminal database, as the main list's rows are.
struct DownloadTarget {
    std::size_t index = 0;
    std::string name;
};

// What the Download Configuration dialog hands its run.
struct DownloadChoices {
    std::string path;  // directory of the stored configuration file
    bool reboot = false;
    std::vector<DownloadTarget> targets;
    ExclusionChoice exclusions;
};

// What became of one terminal of the run: a record that matched a selected
// entry, and the result of its requests ("NoneNoneNone" once the transfer
// request is written, otherwise the failed write's text).
struct DownloadRequestResult {
    std::string name;
    std::string ip;
    std::string result;
};

enum class DownloadRunEnd {
    Refused,    // no path or no terminal: the dialog stays open, nothing happened
    Failed,     // the filter or the put failed (its message shown), or a stop came
    Completed,  // the requests went out; the path and reboot choice are saved
};

struct DownloadRunOutcome {
    DownloadRunEnd end = DownloadRunEnd::Refused;
    // One entry per matched record, in list order (empty unless Completed).
    std::vector<DownloadRequestResult> requests;
};

// The configuration download: checks the choices, filters the stored
// configuration file (path + "/" + "Misc"/RegFileName) into the same name with
// ".fil", puts that on the staging server, asks every selected terminal to
// send its traps here, to reboot or not, and to fetch the file, then shows the
// completion message and saves the path and reboot choice. The ".fil" file is
// removed afterwards unless "Misc"/DnRemoveTempFile is "NO". Messages go
// through the document's message boxes; the steps through `progress`.
DownloadRunOutcome RunConfigurationDownload(CTarnDoc& doc, const MacByItemTable& macByItem,
                                            const DownloadChoices& choices, IFtpClient& ftp,
                                            std::stop_token stop, IProgressNotice& progress);

// The per-terminal step: each selected entry is resolved to every record with
// the entry's name and the MAC address of its row in `macByItem`; each such
// record gets the trap destination, the reboot flag and the transfer request,
// and a failure its message before the next record. "Misc"/TransferParallel
// records are served at once; the messages keep the list's order.
std::vector<DownloadRequestResult> SendDownloadRequests(CTarnDoc& doc,
                                                        const MacByItemTable& macByItem,
                                                        const std::vector<DownloadTarget>& targets,
                                                        bool reboot, std::stop_token stop);
