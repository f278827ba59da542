#include "core/setup/SetupSettings.h"

#include <utility>
#include <vector>

#include "core/app/CTarnDoc.h"
#include "core/common/Sentinel.h"
#include "core/common/StringTable.h"
#include "core/common/TextFormat.h"
#include "core/discovery/SubnetList.h"
#include "core/setup/PasswordScrambling.h"

namespace {

std::string RangeText(const std::string& stored) {
    return std::to_string(static_cast<unsigned>(ToLong(stored)));
}

// A path that does not start with a separator gets one: "\" when it uses
// that separator anywhere, otherwise "/".
std::string WithLeadingSeparator(const std::string& path) {
    if (!path.empty() && (path[0] == '\\' || path[0] == '/')) {
        return path;
    }
    return (path.find('\\') != std::string::npos ? "\\" : "/") + path;
}

}  // namespace

SetupValues ReadSetupValues(CTarnDoc& doc) {
    SetupValues values;
    values.getCommunity = doc.GetINIValueStr("Misc", "GetCommunity", IfMissing::Report);
    values.setCommunity = doc.GetINIValueStr("Misc", "SetCommunity", IfMissing::Report);
    values.discoverIPSubNet = doc.GetINIValueStr("Misc", "DiscoverIPSubNet", IfMissing::Report);
    values.broadcast = doc.GetINIValueStr("Misc", "DiscoverMethod", IfMissing::Report) == "BCAST";
    values.ftpServerName = doc.GetINIValueStr("Misc", "FTPServerName", IfMissing::Report);
    values.ftpServerPath = doc.GetINIValueStr("Misc", "FTPServerPath", IfMissing::Report);
    values.ftpLogin = doc.GetINIValueStr("Misc", "FTPLogin", IfMissing::Report);
    values.ftpPassword = UnscramblePassword(
        doc, doc.GetINIValueStr("Misc", "FTPPassword", IfMissing::Report), false);
    values.rangeLow = RangeText(doc.GetINIValueStr("Misc", "DiscoverRangeLow", IfMissing::Report));
    values.rangeHigh =
        RangeText(doc.GetINIValueStr("Misc", "DiscoverRangeHigh", IfMissing::Report));
    return values;
}

std::string ProposedSubnet(const std::string& localHostIP) {
    auto dot = localHostIP.rfind('.');
    return dot == std::string::npos ? "255.255.255" : localHostIP.substr(0, dot);
}

std::optional<unsigned> ParseRangeValue(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    std::size_t first = text.find_first_not_of('0');
    if (first == std::string::npos || text.size() - first > 3) {
        return std::nullopt;
    }
    unsigned value = static_cast<unsigned>(std::stoul(text.substr(first)));
    if (value < 1 || value > 254) {
        return std::nullopt;
    }
    return value;
}

SetupCheck CheckSetupRanges(CTarnDoc& doc, const SetupValues& values) {
    for (auto [text, check] : {std::pair{&values.rangeLow, SetupCheck::RangeLow},
                               std::pair{&values.rangeHigh, SetupCheck::RangeHigh}}) {
        if (!ParseRangeValue(*text)) {
            doc.Messages().ShowMessage(kSetupRangeMessage, MessageIcon::Warning);
            return check;
        }
    }
    return SetupCheck::None;
}

SetupCheck SaveSetup(CTarnDoc& doc, const SetupValues& values) {
    if (SetupCheck failed = CheckSetupRanges(doc, values); failed != SetupCheck::None) {
        return failed;
    }
    unsigned low = *ParseRangeValue(values.rangeLow);
    unsigned high = *ParseRangeValue(values.rangeHigh);
    auto refuse = [&](int messageId, SetupCheck check) {
        doc.Messages().ShowMessage(LoadResString(messageId), MessageIcon::Warning);
        return check;
    };
    if (low > high) {
        return refuse(ids::kRangeOrder, SetupCheck::RangeOrder);
    }
    if (values.ftpServerName.empty()) {
        return refuse(ids::kNeedFtpServerName, SetupCheck::ServerName);
    }
    if (values.discoverIPSubNet.empty() || values.discoverIPSubNet.find(' ') != std::string::npos ||
        !ParseSubnetList(values.discoverIPSubNet, doc.State().Subnets())) {
        return refuse(ids::kSubnetSyntaxError, SetupCheck::SubnetList);
    }
    const std::string path = WithLeadingSeparator(values.ftpServerPath);
    const char* method = values.broadcast ? "BCAST" : "SNMP";

    doc.State().GetCommunity().Set(values.getCommunity);
    doc.State().SetCommunity().Set(values.setCommunity);

    std::string password =
        values.storedPassword ? *values.storedPassword : ScramblePassword(doc, values.ftpPassword);
    doc.WriteINIValues("Misc", {{"GetCommunity", values.getCommunity},
                                {"SetCommunity", values.setCommunity},
                                {"DiscoverIPSubNet", values.discoverIPSubNet},
                                {"DiscoverMethod", method},
                                {"FTPServerName", values.ftpServerName},
                                {"FTPServerPath", path},
                                {"FTPLogin", values.ftpLogin},
                                {"FTPPassword", password},
                                {"DiscoverRangeLow", FormatText("%u", low)},
                                {"DiscoverRangeHigh", FormatText("%u", high)}});
    return SetupCheck::None;
}

bool SetupNeededAtStart(CTarnDoc& doc) {
    if (doc.GetINIValueStr("Misc", "FTPServerName", IfMissing::Report).empty()) {
        return true;
    }
    return doc.GetINIValueStr("Misc", "DiscoverIPSubNet", IfMissing::Report).empty();
}
