#include "core/staging/FtpStaging.h"

#include "core/app/CTarnDoc.h"
#include "core/setup/PasswordScrambling.h"

FtpStagingSettings ReadFtpServerSettings(CTarnDoc& doc) {
    FtpStagingSettings settings;
    settings.server.name = doc.GetINIValueStr("Misc", "FTPServerName", IfMissing::Report);
    settings.serverPath = doc.GetINIValueStr("Misc", "FTPServerPath", IfMissing::Report);
    settings.regFileName = doc.GetINIValueStr("Misc", "RegFileName", IfMissing::Report);
    settings.server.login = doc.GetINIValueStr("Misc", "FTPLogin", IfMissing::Report);
    if (settings.server.login.empty()) {
        settings.server.login = "anonymous";
    }
    settings.server.password =
        UnscramblePassword(doc, doc.GetINIValueStr("Misc", "FTPPassword", IfMissing::Report), true);
    long port = doc.GetOptionalININumber("Misc", "FTPServerPort", 21);
    settings.server.port = port > 0 && port <= 65535 ? static_cast<unsigned>(port) : 0;
    return settings;
}

std::string FtpRemoteName(const std::string& serverPath, const std::string& fileName) {
    const char* separator = serverPath.find('\\') != std::string::npos ? "\\" : "/";
    return serverPath + separator + fileName;
}

FtpOutcome FtpPutFile(IFtpClient& client, const FtpServer& server, const std::string& localFile,
                      const std::string& remoteName, std::stop_token stop) {
    return client.Connect(server, std::move(stop))->Put(localFile, remoteName);
}

FtpOutcome FtpGetFile(IFtpClient& client, const FtpServer& server, const std::string& remoteName,
                      const std::string& localFile, std::stop_token stop) {
    return client.Connect(server, std::move(stop))->Get(remoteName, localFile);
}

FtpOutcome FtpDeleteFile(IFtpClient& client, const FtpServer& server, const std::string& remoteName,
                         std::stop_token stop) {
    return client.Connect(server, std::move(stop))->Delete(remoteName);
}

bool FtpPutConfiguration(CTarnDoc& doc, IFtpClient& client, const std::string& localFile,
                         std::stop_token stop) {
    FtpStagingSettings settings = ReadFtpServerSettings(doc);
    FtpOutcome outcome =
        FtpPutFile(client, settings.server, localFile,
                   FtpRemoteName(settings.serverPath, settings.regFileName), std::move(stop));
    if (!outcome.ok) {
        doc.Messages().ShowMessage(outcome.ErrorText(), MessageIcon::None);
    }
    return outcome.ok;
}
