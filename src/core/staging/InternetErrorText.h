#pragma once

#include <string>

// The labels that start the text of a failed FTP step.
namespace ftp_label {
inline constexpr const char* kOpen = "InternetOpenError";
inline constexpr const char* kConnect = "InternetConnectError";
inline constexpr const char* kPutFile = "InternetFtpPutFileError";
inline constexpr const char* kGetFile = "FtpGetFileError";
// Only a name that cannot be sent fails a delete; the server's refusal does not.
inline constexpr const char* kDeleteFile = "FtpDeleteFileError";
}  // namespace ftp_label

// Failure codes of the FTP client that the texts are keyed by.
namespace ftp_code {
inline constexpr unsigned long kFileNotFound = 2;
inline constexpr unsigned long kPathNotFound = 3;
inline constexpr unsigned long kTooManyOpenFiles = 4;
inline constexpr unsigned long kAccessDenied = 5;
inline constexpr unsigned long kWriteFault = 29;
inline constexpr unsigned long kReadFault = 30;
inline constexpr unsigned long kDiskFull = 112;
inline constexpr unsigned long kInvalidName = 123;
inline constexpr unsigned long kOutOfHandles = 12001;
inline constexpr unsigned long kTimeout = 12002;
// The server sent an error reply; the text is that reply.
inline constexpr unsigned long kExtendedError = 12003;
inline constexpr unsigned long kInternalError = 12004;
inline constexpr unsigned long kNameNotResolved = 12007;
inline constexpr unsigned long kIncorrectUserName = 12013;
inline constexpr unsigned long kIncorrectPassword = 12014;
inline constexpr unsigned long kLoginFailure = 12015;
inline constexpr unsigned long kOperationCancelled = 12017;
inline constexpr unsigned long kCannotConnect = 12029;
inline constexpr unsigned long kConnectionAborted = 12030;
inline constexpr unsigned long kConnectionReset = 12031;
inline constexpr unsigned long kInvalidServerResponse = 12152;
}  // namespace ftp_code

// The server's last reply, which an error reply (code 12003) is shown as, and
// the number that came with it (the reply's status code).
struct FtpLastResponse {
    std::string text;
    unsigned long error = 0;
};

// The text the user sees for a failed FTP step: for 12003 the server's last
// reply (or "LABEL = N Extended Message Fail" when it is empty or longer than
// 5000 characters), the table's text for a code it holds, otherwise
// "LABEL = CODE".
std::string InternetErrorText(unsigned long code, const std::string& label,
                              const FtpLastResponse& response = {});

// Whether the table holds a text for the code (59 codes).
bool HasInternetErrorText(unsigned long code);
