#pragma once

#include <optional>
#include <stop_token>
#include <string>

#include "core/common/UserMessages.h"
#include "core/terminals/TerminalDatabase.h"

class CTarnDoc;
class IProgressNotice;

// The texts of the terminal information editing.
inline const char kSearchingForDuplicateName[] = "Searching For Duplicate Terminal Name";
inline const char kDuplicateNameFound[] = "Duplicate Name Found, Please Select Another";
inline const char kSendingInformation[] = "Sending Information To The Selected Terminal";
inline const char kInformationUpdateComplete[] = "Terminal Information Update Complete";

// The six descriptive texts of a terminal an administrator may change.
struct TerminalInfoTexts {
    std::string name;
    std::string location;
    std::string contact;
    std::string customField1;
    std::string customField2;
    std::string customField3;

    bool operator==(const TerminalInfoTexts&) const = default;
};

// What a run does with an empty text: write it (clearing the object on the
// terminal) or leave the object alone. An empty name is never written.
enum class BlankFields { Send = 0, Ignore = 1 };

// `name` without its domain and the one separator before it, when `domain` is
// not empty and occurs in `name` after its first character; otherwise `name`.
std::string StripDomain(const std::string& name, const std::string& domain);

// The six texts of the terminal at `ip`, the name without its domain. Each is
// what its GET returned, a failure text included; `allRead` is false when any
// GET failed.
struct TerminalInfoReading {
    TerminalInfoTexts texts;
    bool allRead = true;
};
TerminalInfoReading GetTargetInfo(CTarnDoc& doc, const std::string& ip);

// The record that row `index` of a terminal list, showing `name`, stands for;
// nothing when none matches (a terminal registered, renamed or replaced since
// the main list's last refresh).
std::optional<TerminalEntry> ResolveListRow(CTarnDoc& doc, const MacByItemTable& macByItem,
                                            int index, const std::string& name);

struct SetTargetResult {
    enum class Outcome { Complete, DuplicateName, SetFailed, Stopped };
    Outcome outcome = Outcome::Stopped;
    // What the user is told (empty after a stop), and with which icon.
    std::string message;
    MessageIcon icon = MessageIcon::Warning;
    // Some value was written, so the terminal's record changed and lists that
    // show it are out of date, whether or not the run completed.
    bool written = false;
};

// Writes `texts` to the terminal of `target`, after making sure that no other
// terminal of the database (told apart by its MAC address) goes by the new
// name: one GET of each terminal's domain, "Misc"/TransferParallel of them at
// a time, with the outcome and messages of a one-by-one search. Then the name
// (read back as the terminal now reports it), location, contact and custom
// fields, each stored into the record once written; the first write that
// fails ends the run. Shows nothing itself: the result says what to show.
SetTargetResult SetTargetInfo(CTarnDoc& doc, const TerminalEntry& target,
                              const TerminalInfoTexts& texts, BlankFields blanks,
                              std::stop_token stop, IProgressNotice& notice);
