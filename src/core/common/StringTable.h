#pragma once

#include <string>

// The console's numbered texts: messages, trap and reason lines, menu prompts.
// Every user-visible text with a number is looked up here by that number.
namespace ids {
inline constexpr int kSocketsInitFailed = 104;
inline constexpr int kPleaseWait = 153;
inline constexpr int kFilterLibraryMissing = 158;
inline constexpr int kBadSubnetInIni = 166;
inline constexpr int kSubnetSyntaxError = 167;
inline constexpr int kRefreshAndValidate = 168;
inline constexpr int kPasswordEncryptError = 172;
inline constexpr int kPasswordDecryptError = 173;
inline constexpr int kNeedFtpServerName = 175;
inline constexpr int kNewUnitsAdded = 184;
inline constexpr int kRangeOrder = 185;
inline constexpr int kUnknownIdentity = 186;
inline constexpr int kTrapMonitorCloseIgnored = 192;
// The Trap Monitor's account of traps it could not log.
inline constexpr int kTrapsLost = 301;
inline constexpr int kTrapsUnreadable = 302;
inline constexpr int kTrapsDroppedTooMany = 303;
inline constexpr int kTrapsDroppedForSender = 304;
// A dialog's list entry that no longer matches a terminal of the main list.
inline constexpr int kTerminalNotInList = 305;
// An exported list or a saved log that could not be written.
inline constexpr int kFileNotSaved = 306;
// Help Topics found no guide file.
inline constexpr int kUserGuideMissing = 310;
inline constexpr int kAppTitle = 57344;
inline constexpr int kReady = 57345;
}  // namespace ids

// Returns the text of string `id`, or the empty text when the table has none.
const std::string& LoadResString(int id);

// True when the table holds string `id`.
bool HasResString(int id);
