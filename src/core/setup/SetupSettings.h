#pragma once

#include <optional>
#include <string>

class CTarnDoc;

// The fields of the Setup dialog, as the dialog and the command line hold them.
struct SetupValues {
    std::string getCommunity;
    std::string setCommunity;
    std::string discoverIPSubNet;
    bool broadcast = false;
    // The range edits' texts; OK accepts only whole numbers from 1 to 254.
    std::string rangeLow;
    std::string rangeHigh;
    std::string ftpServerName;
    std::string ftpServerPath;
    std::string ftpLogin;
    std::string ftpPassword;  // plain, scrambled when written
    // When set, FTPPassword is written as this stored form instead, so a
    // password nobody retyped is kept exactly as it was.
    std::optional<std::string> storedPassword;
};

// The check of OK that failed, or None when the settings were saved.
enum class SetupCheck { None, RangeLow, RangeHigh, RangeOrder, ServerName, SubnetList };

// The message of a range edit that is empty or outside 1..254.
inline constexpr const char* kSetupRangeMessage = "Please enter an integer between 1 and 254.";

// What the dialog shows when it opens: the Setup keys of "Misc", each read
// reporting a missing key; the stored password unscrambled (empty when none);
// the range keys as plain numbers.
SetupValues ReadSetupValues(CTarnDoc& doc);

// The subnet proposed for an empty subnet field: the workstation's address
// without its last part, "255.255.255" when it has no ".".
std::string ProposedSubnet(const std::string& localHostIP);

// A range edit's value: digits only, 1 to 254.
std::optional<unsigned> ParseRangeValue(const std::string& text);

// The range checks alone (the dialog runs them when the method changes too);
// the first failing edit's message is shown.
SetupCheck CheckSetupRanges(CTarnDoc& doc, const SetupValues& values);

// OK: checks the fields in order, showing the first failing check's message;
// when all pass, makes the subnet list and the communities take effect at once
// and writes the Setup keys in one replacement of the settings file.
SetupCheck SaveSetup(CTarnDoc& doc, const SetupValues& values);

// Start-up opens Setup when FTPServerName, or else DiscoverIPSubNet, is empty.
bool SetupNeededAtStart(CTarnDoc& doc);
