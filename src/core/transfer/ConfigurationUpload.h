#pragma once

#include <chrono>
#include <stop_token>
#include <string>

class CTarnDoc;
class IFtpClient;
class IProgressNotice;
class MacByItemTable;

// How long the upload waits for its terminal's outcome trap.
inline constexpr std::chrono::milliseconds kUploadTrapTimeout{60000};

// The messages of the upload that the string table has no number for.
inline const char kUploadTimeoutMessage[] =
    "Configuration Upload Failure, No Trap Received Before Timeout";
inline const char kUploadFailureMessage[] =
    "Configuration Upload Failure, Check Trap Monitor For Reason";
inline const char kUploadCompleteMessage[] = "Configuration Upload Complete To Directory: ";
inline const char kUploadingNotice[] = "Uploading Configuration From Terminal To FTP Server";
inline const char kRetrievingNotice[] = "Retrieving Configuration File From FTP Server";

// What the user chose in the Upload Configuration dialog.
struct UploadChoice {
    std::string path;  // the local directory, as typed
    int row = -1;      // the selected entry of the terminal list; -1 for none
    std::string name;  // its text
};

// How an upload ended.
enum class UploadEnd {
    Refused,       // a check of the choice failed; nothing was sent
    NotRequested,  // the trap destination or the request could not be written
    TimedOut,      // no outcome trap before the time-out
    Stopped,       // the run was stopped
    TrapFailure,   // the terminal reported that it could not send the file
    FetchFailed,   // the FTP get into the directory failed
    Done,          // the configuration is in the directory
};

// After these the user may correct the choice and try again: the dialog stays
// open. After the others it closes.
bool UploadLeavesDialogOpen(UploadEnd end);

// Gets the uploaded configuration ("Misc"/RegFileName) from the staging server
// into `localDir`, owner-only. "NoneNoneNone", or the FTP failure text.
std::string FetchUploadedFile(CTarnDoc& doc, IFtpClient& ftp, const std::string& localDir,
                              std::stop_token stop = {});

// The Upload Configuration dialog's OK: checks the choice, points the terminal's
// traps at this workstation, awaits its outcome trap, asks it to send its
// configuration to the staging server, waits (sleeping) for the outcome, and
// gets the file into the directory. Every result is shown through the
// document's message boxes; `notice` shows the step meanwhile. The entry is
// mapped to its terminal through the main list's table; an entry that has no
// record there sends nothing and asks for a refresh. A stop request ends the
// run at its next step (the SNMP requests of a worker document at once).
UploadEnd UploadConfiguration(CTarnDoc& doc, const MacByItemTable& macByItem,
                              const UploadChoice& choice, IFtpClient& ftp, IProgressNotice& notice,
                              std::stop_token stop,
                              std::chrono::milliseconds trapTimeout = kUploadTrapTimeout);
