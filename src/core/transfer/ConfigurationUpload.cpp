#include "core/transfer/ConfigurationUpload.h"

#include <optional>

#include "core/app/CTarnDoc.h"
#include "core/common/ProgressNotice.h"
#include "core/common/Sentinel.h"
#include "core/common/StringTable.h"
#include "core/settings/LocalHost.h"
#include "core/staging/FtpStaging.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/transfer/UploadDirectory.h"

namespace {
constexpr int kMustProvidePath = 141;
constexpr int kTerminalsMustBeSelected = 143;

void Warn(CTarnDoc& doc, const std::string& text) {
    doc.Messages().ShowMessage(text, MessageIcon::Warning);
}
}  // namespace

bool UploadLeavesDialogOpen(UploadEnd end) {
    return end == UploadEnd::Refused || end == UploadEnd::NotRequested ||
           end == UploadEnd::TimedOut || end == UploadEnd::Stopped;
}

std::string FetchUploadedFile(CTarnDoc& doc, IFtpClient& ftp, const std::string& localDir,
                              std::stop_token stop) {
    FtpStagingSettings settings = ReadFtpServerSettings(doc);
    std::string localFile = FileInDirectory(localDir, settings.regFileName);
    // The get keeps the mode of a file it replaces: an earlier upload's file
    // from before files were kept owner-only must not pass its mode on.
    RestrictToOwner(localFile);
    FtpOutcome outcome =
        FtpGetFile(ftp, settings.server, FtpRemoteName(settings.serverPath, settings.regFileName),
                   localFile, std::move(stop));
    if (!outcome.ok) {
        return outcome.ErrorText();
    }
    RestrictToOwner(localFile);
    return kNoneNoneNone;
}

UploadEnd UploadConfiguration(CTarnDoc& doc, const MacByItemTable& macByItem,
                              const UploadChoice& choice, IFtpClient& ftp, IProgressNotice& notice,
                              std::stop_token stop, std::chrono::milliseconds trapTimeout) {
    if (choice.path.empty()) {
        Warn(doc, LoadResString(kMustProvidePath));
        return UploadEnd::Refused;
    }
    const std::string path = NormaliseLocalDirectory(choice.path);
    if (std::string problem = PrepareUploadDirectory(path); !problem.empty()) {
        Warn(doc, problem);
        return UploadEnd::Refused;
    }
    if (choice.row < 0) {
        Warn(doc, LoadResString(kTerminalsMustBeSelected));
        return UploadEnd::Refused;
    }
    // The main list's table knows the rows as of its last refresh; a terminal
    // registered since has none, and guessing would ask the wrong terminal.
    std::optional<std::string> mac = macByItem.At(choice.row);
    std::optional<TerminalEntry> entry =
        mac ? doc.State().Terminals().FindByRow(*mac, choice.name) : std::nullopt;
    if (!entry) {
        Warn(doc, LoadResString(ids::kTerminalNotInList));
        return UploadEnd::Refused;
    }
    const std::string ip = entry->record.m_ip;
    const std::string pleaseWait = LoadResString(ids::kPleaseWait);
    notice.SetMessages(kUploadingNotice, pleaseWait);

    std::string result = doc.SetSnmpValue(ip, "EntOidTrapServer5", GetLocalHostIP(doc));
    if (result != kNoneNoneNone) {
        notice.Close();
        if (stop.stop_requested()) {
            return UploadEnd::Stopped;
        }
        Warn(doc, result);
        return UploadEnd::NotRequested;
    }
    // Armed before the request goes out: a terminal that answers at once is
    // still heard.
    UploadOutcome& outcome = doc.State().Upload();
    outcome.Await(ip);
    result = doc.SubmitXferRequest(doc.GetINIValueStr("Misc", "RegFileName", IfMissing::Report), ip,
                                   0, false);
    if (result != kNoneNoneNone) {
        outcome.StopAwaiting();
        notice.Close();
        if (stop.stop_requested()) {
            return UploadEnd::Stopped;
        }
        Warn(doc, result);
        return UploadEnd::NotRequested;
    }
    UploadResult waited = outcome.Wait(trapTimeout, stop);
    notice.Close();
    switch (waited) {
        case UploadResult::Done:
            break;
        case UploadResult::Failed:
            Warn(doc, kUploadFailureMessage);
            return UploadEnd::TrapFailure;
        case UploadResult::TimedOut:
            outcome.StopAwaiting();
            Warn(doc, kUploadTimeoutMessage);
            return UploadEnd::TimedOut;
        case UploadResult::Stopped:
            outcome.StopAwaiting();
            return UploadEnd::Stopped;
    }

    notice.SetMessages(kRetrievingNotice, pleaseWait);
    result = FetchUploadedFile(doc, ftp, path, stop);
    notice.Close();
    if (result != kNoneNoneNone) {
        if (stop.stop_requested()) {
            return UploadEnd::Stopped;
        }
        Warn(doc, result);
        return UploadEnd::FetchFailed;
    }
    doc.Messages().ShowMessage(kUploadCompleteMessage + ("\n\n" + path), MessageIcon::Information);
    doc.WriteINIValueStr("Misc", "DnloadPath", path);
    return UploadEnd::Done;
}
