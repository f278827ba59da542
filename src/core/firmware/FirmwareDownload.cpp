#include "core/firmware/FirmwareDownload.h"

#include "core/app/CTarnDoc.h"
#include "core/common/ProgressNotice.h"
#include "core/common/Sentinel.h"
#include "core/common/StringTable.h"
#include "core/settings/LocalHost.h"
#include "core/staging/FtpStaging.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/transfer/TransferFanOut.h"

namespace {

// Numbered texts of the string table this run shows.
constexpr int kSelectTerminals = 143;
constexpr int kSendingRequests = 171;
constexpr int kSetTrapServerError = 182;
constexpr int kSkippingToNext = 183;

constexpr char kSendingFile[] = "Sending Firmware To FTP Server, File: ";
constexpr char kComplete[] = "Download Firmware Request(s) Complete Using Files From:";
constexpr char kCheckTrapMonitor[] = "Check Trap Monitor for any Download Failures";

// The trap destination, then the request, for one terminal.
void RequestOne(CTarnDoc& doc, const FirmwareTarget& target, const std::string& imageName,
                const std::stop_token& stop, FirmwareRequestOutcome& outcome) {
    std::optional<TerminalEntry> entry;
    if (target.mac) {
        entry = doc.State().Terminals().FindByRow(*target.mac, target.name);
    }
    if (!entry) {
        return;
    }
    const std::string ip = entry->record.m_ip;
    outcome.ip = ip;
    const std::string workstation = GetLocalHostIP(doc);
    std::string result = doc.SetSnmpValue(ip, "EntOidTrapServer5", workstation);
    if (result != kNoneNoneNone) {
        // The older model has a second destination object in a layout of its
        // own; failing that, the current layout's is tried.
        OidSectionSwitch section(doc.State().OidSection(),
                                 doc.IsModel2200(ip) ? "TRK2200OLD" : "OID");
        result = doc.SetSnmpValue(ip, "EntOidTrapServer4", workstation);
        if (result != kNoneNoneNone) {
            doc.State().OidSection().Set("OID");
            result = doc.SetSnmpValue(ip, "EntOidTrapServer4", workstation);
        }
    }
    if (result != kNoneNoneNone) {
        outcome.result = result;
        if (!stop.stop_requested()) {
            doc.Messages().ShowMessage(target.name + LoadResString(kSetTrapServerError) + "\n" +
                                           result + "\n" + LoadResString(kSkippingToNext),
                                       MessageIcon::Warning);
        }
        return;
    }
    outcome.result = doc.SubmitXferRequest(imageName, ip, 1, true);
    if (outcome.result != kNoneNoneNone && !stop.stop_requested()) {
        doc.Messages().ShowMessage(
            "- " + target.name + " -\n" + outcome.result + "\n" + LoadResString(kSkippingToNext),
            MessageIcon::Warning);
    }
}

}  // namespace

std::vector<FirmwareTarget> FirmwareTargetsOfRows(
    const MacByItemTable& macByItem, const std::vector<std::pair<int, std::string>>& rows) {
    std::vector<FirmwareTarget> targets;
    targets.reserve(rows.size());
    for (const auto& [index, text] : rows) {
        targets.push_back({text, macByItem.At(index)});
    }
    return targets;
}

bool FirmwareRequestOutcome::Requested() const {
    return result == kNoneNoneNone;
}

bool PutFirmwareFiles(CTarnDoc& doc, IFtpClient& client, const FirmwareFiles& files,
                      IProgressNotice& notice, std::stop_token stop) {
    FtpStagingSettings settings = ReadFtpServerSettings(doc);
    std::unique_ptr<IFtpConnection> connection = client.Connect(settings.server, stop);
    auto fail = [&](const FtpOutcome& outcome) {
        notice.Close();
        if (!stop.stop_requested()) {
            doc.Messages().ShowMessage(outcome.ErrorText(), MessageIcon::None);
        }
        return false;
    };
    // The delete's own refusal does not matter; not reaching the server does.
    FtpOutcome deleted =
        connection->Delete(FtpRemoteName(settings.serverPath, kFirmwareBootstrapName));
    if (!deleted.ok && deleted.label != ftp_label::kDeleteFile) {
        return fail(deleted);
    }
    std::vector<std::string> names;
    if (files.bootstrapPresent) {
        names.emplace_back(kFirmwareBootstrapName);
    }
    names.emplace_back(kFirmwareParamsName);
    names.push_back(files.imageName);
    for (const auto& name : names) {
        notice.SetMessages(kSendingFile + name, LoadResString(ids::kPleaseWait));
        FtpOutcome put = connection->Put(FirmwareFilePath(files.directory, name),
                                         FtpRemoteName(settings.serverPath, name));
        if (!put.ok) {
            return fail(put);
        }
    }
    return true;
}

std::vector<FirmwareRequestOutcome> RequestFirmwareDownloads(
    CTarnDoc& doc, const std::vector<FirmwareTarget>& targets, const std::string& imageName,
    std::stop_token stop) {
    // Each job writes only its own element.
    std::vector<FirmwareRequestOutcome> outcomes(targets.size());
    RunForEachTerminal(doc, targets.size(), TransferParallel(doc), stop,
                       [&](CTarnDoc& jobDoc, std::size_t index) {
                           RequestOne(jobDoc, targets[index], imageName, stop, outcomes[index]);
                       });
    return outcomes;
}

FirmwareRunResult DownloadFirmware(CTarnDoc& doc, IFtpClient& client, const std::string& typed,
                                   const std::vector<FirmwareTarget>& targets,
                                   IProgressNotice& notice, std::stop_token stop) {
    FirmwareRunResult run;
    std::optional<FirmwareFiles> files = CheckFirmwareDirectory(doc, typed);
    if (!files) {
        return run;
    }
    if (targets.empty()) {
        doc.Messages().ShowMessage(LoadResString(kSelectTerminals), MessageIcon::Warning);
        return run;
    }
    if (!PutFirmwareFiles(doc, client, *files, notice, stop)) {
        run.end = stop.stop_requested() ? FirmwareRunEnd::Stopped : FirmwareRunEnd::CopyFailed;
        return run;
    }
    notice.Close();
    notice.SetMessages(LoadResString(kSendingRequests), LoadResString(ids::kPleaseWait));
    run.outcomes = RequestFirmwareDownloads(doc, targets, files->imageName, stop);
    notice.Close();
    if (stop.stop_requested()) {
        run.end = FirmwareRunEnd::Stopped;
        return run;
    }
    doc.Messages().ShowMessage(
        std::string(kComplete) + "\n\n" + files->directory + "\n\n" + kCheckTrapMonitor,
        MessageIcon::Information);
    doc.WriteINIValueStr("Misc", "DnloadFWPath", files->directory);
    run.end = FirmwareRunEnd::Completed;
    return run;
}
