#include "core/download/ConfigurationDownload.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <limits>
#include <optional>

#include "core/app/CTarnDoc.h"
#include "core/common/ProgressNotice.h"
#include "core/common/Sentinel.h"
#include "core/common/StringTable.h"
#include "core/settings/LocalHost.h"
#include "core/settings/SettingsPath.h"
#include "core/staging/FtpStaging.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/transfer/TransferFanOut.h"

namespace {

constexpr int kNeedPath = 141;
constexpr int kNeedTerminals = 143;
constexpr int kFilterStep = 169;
constexpr int kPutStep = 170;
constexpr int kRequestStep = 171;
constexpr int kRequestsComplete = 174;
constexpr int kCheckTrapMonitor = 176;
constexpr int kTrapServerError = 182;
constexpr int kSkipping = 183;
constexpr int kRebootError = 191;

// One trailing separator goes; the root stays what it is.
std::string WithoutTrailingSeparator(std::string path) {
    if (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    return directory.ends_with('/') ? directory + name : directory + "/" + name;
}

void ShowStep(IProgressNotice& progress, int step) {
    progress.SetMessages(LoadResString(step), LoadResString(ids::kPleaseWait));
}

// The ".fil" file is a copy of the configuration: gone after the run unless
// the settings ask to keep it.
void RemoveFilteredFile(CTarnDoc& doc, const std::string& output) {
    std::string keep = doc.GetINIValueStr("Misc", "DnRemoveTempFile", IfMissing::Report);
    std::transform(keep.begin(), keep.end(), keep.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (keep != "NO") {
        std::error_code ignored;
        std::filesystem::remove(output, ignored);
    }
}

// The records a selected entry stands for, in database order.
struct MatchedRecord {
    std::string name;
    std::string ip;
};

std::vector<MatchedRecord> MatchTargets(CTarnDoc& doc, const MacByItemTable& macByItem,
                                        const std::vector<DownloadTarget>& targets) {
    std::vector<DownloadTarget> ordered = targets;
    std::sort(ordered.begin(), ordered.end(),
              [](const auto& a, const auto& b) { return a.index < b.index; });
    std::vector<TerminalEntry> entries = doc.State().Terminals().Entries();
    std::vector<MatchedRecord> matched;
    for (const DownloadTarget& target : ordered) {
        if (target.index > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
            continue;
        }
        auto mac = macByItem.At(static_cast<int>(target.index));
        if (!mac) {
            continue;
        }
        for (const TerminalEntry& entry : entries) {
            if (entry.record.m_macAdr == *mac && entry.record.m_name == target.name) {
                matched.push_back({target.name, entry.record.m_ip});
            }
        }
    }
    return matched;
}

// The three requests to one terminal; the result of the first that failed,
// after its message.
std::string RequestDownload(CTarnDoc& doc, const MatchedRecord& record,
                            const std::string& trapServer, bool reboot,
                            const std::string& configurationName) {
    auto refuse = [&](const std::string& text, const std::string& result) {
        doc.Messages().ShowMessage(text + "\n" + result + "\n" + LoadResString(kSkipping),
                                   MessageIcon::Warning);
        return result;
    };
    std::string result = doc.SetSnmpValue(record.ip, "EntOidTrapServer5", trapServer);
    if (result != kNoneNoneNone) {
        return refuse(record.name + LoadResString(kTrapServerError), result);
    }
    result = doc.SetSnmpValue(record.ip, "EntOidCfgDnldReboot", reboot ? "1" : "0");
    if (result != kNoneNoneNone) {
        return refuse(record.name + LoadResString(kRebootError), result);
    }
    result = doc.SubmitXferRequest(configurationName, record.ip, 1, false);
    if (result != kNoneNoneNone) {
        return refuse("- " + record.name + " -", result);
    }
    return result;
}

}  // namespace

std::vector<DownloadRequestResult> SendDownloadRequests(CTarnDoc& doc,
                                                        const MacByItemTable& macByItem,
                                                        const std::vector<DownloadTarget>& targets,
                                                        bool reboot, std::stop_token stop) {
    std::string configurationName = doc.GetINIValueStr("Misc", "RegFileName", IfMissing::Report);
    std::vector<MatchedRecord> matched = MatchTargets(doc, macByItem, targets);
    std::string trapServer = GetLocalHostIP(doc);
    std::vector<std::optional<DownloadRequestResult>> slots(matched.size());
    RunForEachTerminal(
        doc, matched.size(), TransferParallel(doc), stop, [&](CTarnDoc& jobDoc, std::size_t i) {
            // Each job writes only its own slot.
            slots[i] = DownloadRequestResult{
                matched[i].name, matched[i].ip,
                RequestDownload(jobDoc, matched[i], trapServer, reboot, configurationName)};
        });
    // Records a stop left out were never asked.
    std::vector<DownloadRequestResult> results;
    for (auto& slot : slots) {
        if (slot) {
            results.push_back(std::move(*slot));
        }
    }
    return results;
}

DownloadRunOutcome RunConfigurationDownload(CTarnDoc& doc, const MacByItemTable& macByItem,
                                            const DownloadChoices& choices, IFtpClient& ftp,
                                            std::stop_token stop, IProgressNotice& progress) {
    DownloadRunOutcome outcome;
    if (choices.path.empty()) {
        doc.Messages().ShowMessage(LoadResString(kNeedPath), MessageIcon::Warning);
        return outcome;
    }
    if (choices.targets.empty()) {
        doc.Messages().ShowMessage(LoadResString(kNeedTerminals), MessageIcon::Warning);
        return outcome;
    }
    outcome.end = DownloadRunEnd::Failed;
    std::string path = WithoutTrailingSeparator(choices.path);
    std::string input =
        JoinPath(path, doc.GetINIValueStr("Misc", "RegFileName", IfMissing::Report));
    std::string output = input + ".fil";

    ShowStep(progress, kFilterStep);
    if (FilterConfigurationFile(doc, choices.exclusions, input, doc.GetTemplatePath(), output) &&
        !stop.stop_requested()) {
        progress.Close();
        ShowStep(progress, kPutStep);
        if (FtpPutConfiguration(doc, ftp, output, stop) && !stop.stop_requested()) {
            progress.Close();
            ShowStep(progress, kRequestStep);
            outcome.requests =
                SendDownloadRequests(doc, macByItem, choices.targets, choices.reboot, stop);
            progress.Close();
            if (!stop.stop_requested()) {
                doc.Messages().ShowMessage(LoadResString(kRequestsComplete) + "\n\n" + path +
                                               "\n\n" + LoadResString(kCheckTrapMonitor),
                                           MessageIcon::Information);
                doc.WriteINIValues(
                    "Misc", {{"DnloadPath", path}, {"CfgReboot", choices.reboot ? "Yes" : "No"}});
                outcome.end = DownloadRunEnd::Completed;
            }
        }
    }
    RemoveFilteredFile(doc, output);
    progress.Close();
    return outcome;
}
