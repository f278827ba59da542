#pragma once

#include <stop_token>
#include <string>

#include "core/staging/FtpClient.h"

class CTarnDoc;

// The staging server's settings, read afresh for every operation.
struct FtpStagingSettings {
    FtpServer server;
    std::string serverPath;   // "Misc"/FTPServerPath
    std::string regFileName;  // "Misc"/RegFileName
};

// Reads FTPServerName, FTPServerPath, RegFileName, FTPLogin and FTPPassword in
// that order, each reporting a missing key, and the optional FTPServerPort
// (default 21). An empty login becomes "anonymous"; the password is
// unscrambled, an empty one giving the default password.
FtpStagingSettings ReadFtpServerSettings(CTarnDoc& doc);

// The remote name of a file on the staging server: the server path, a
// separator ("\" when the path holds one anywhere, otherwise "/"), the name.
std::string FtpRemoteName(const std::string& serverPath, const std::string& fileName);

// Each opens its own connection for the one request and closes it.
FtpOutcome FtpPutFile(IFtpClient& client, const FtpServer& server, const std::string& localFile,
                      const std::string& remoteName, std::stop_token stop = {});
FtpOutcome FtpGetFile(IFtpClient& client, const FtpServer& server, const std::string& remoteName,
                      const std::string& localFile, std::stop_token stop = {});
FtpOutcome FtpDeleteFile(IFtpClient& client, const FtpServer& server, const std::string& remoteName,
                         std::stop_token stop = {});

// Puts the local file (the filtered configuration) on the staging server under
// the configuration file's name. On failure it shows the error text and
// returns false. A stop request ends the transfer in flight.
bool FtpPutConfiguration(CTarnDoc& doc, IFtpClient& client, const std::string& localFile,
                         std::stop_token stop = {});
