// stage: a file to, from or off the FTP staging server, named as the console
// names its files there (under "Misc"/FTPServerPath).
#include <ostream>

#include "cli/CliCommandsList.h"
#include "core/staging/FtpStaging.h"

namespace {

constexpr const char* kUsage =
    "usage: fleetwarden-cli stage put LOCAL [REMOTE] | get REMOTE LOCAL | delete REMOTE";

std::string BaseName(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int RunStageCommand(CliContext& context) {
    const auto& args = context.args;
    const std::string verb = args.empty() ? std::string() : args[0];
    bool fits =
        (verb == "put" && (args.size() == 2 || args.size() == 3) && !BaseName(args[1]).empty()) ||
        (verb == "get" && args.size() == 3) || (verb == "delete" && args.size() == 2);
    if (!fits) {
        context.err << kUsage << std::endl;
        return 2;
    }
    FtpStagingSettings settings = ReadFtpServerSettings(context.doc);
    CurlFtpClient client;
    FtpOutcome outcome;
    if (verb == "put") {
        std::string name = args.size() == 3 ? args[2] : BaseName(args[1]);
        outcome =
            FtpPutFile(client, settings.server, args[1], FtpRemoteName(settings.serverPath, name));
    } else if (verb == "get") {
        outcome = FtpGetFile(client, settings.server, FtpRemoteName(settings.serverPath, args[1]),
                             args[2]);
    } else {
        outcome =
            FtpDeleteFile(client, settings.server, FtpRemoteName(settings.serverPath, args[1]));
    }
    if (!outcome.ok) {
        context.messages.ShowMessage(outcome.ErrorText(), MessageIcon::None);
        return 1;
    }
    return 0;
}
