#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/common/GuardedText.h"
#include "core/terminals/TerminalRecord.h"

// A record as read from the database, with where it sits. `position` orders the
// list; `serial` tells a record from the one that may later replace it in place.
struct TerminalEntry {
    std::uint64_t position = 0;
    std::uint64_t serial = 0;
    TerminalRecord record;
};

// The terminal database: the ordered list of the terminals known in this run.
// Its order is the display order of every terminal list. It guards itself:
// every read and change takes its lock only for the moment of the access, and
// callers work on copies, so no lock is ever held across an SNMP request.
//
// Positions only grow: a new record gets a position after all others, a record
// that replaces another keeps its position. A walker that asks for the entry
// after its current position therefore never skips or repeats one, whatever
// other threads remove or append meanwhile.
class TerminalDatabase {
public:
    // Appends a record at the end.
    void Append(TerminalRecord record);
    // Puts `record` in place of the entry at `position`; false when there is none.
    bool ReplaceAt(std::uint64_t position, TerminalRecord record);
    // Replaces the first record with the same name and MAC address as `record`,
    // in its position, or appends `record` when there is none. True when replaced.
    bool ReplaceSameTerminalOrAppend(TerminalRecord record);
    // Removes the entry, unless another record has taken its place meanwhile.
    bool Remove(const TerminalEntry& entry);
    // Stores new field values into the entry's record, under the same condition.
    bool Update(const TerminalEntry& entry, const TerminalRecord& record);
    // Deletes every record.
    void Clear();

    std::size_t Count() const;
    bool Empty() const { return Count() == 0; }
    // Walking in order.
    std::optional<TerminalEntry> First() const;
    std::optional<TerminalEntry> Next(std::uint64_t afterPosition) const;
    std::vector<TerminalEntry> Entries() const;

    // The first record whose address is `ip`.
    std::optional<TerminalEntry> FindByIP(const std::string& ip) const;
    // The first record with this MAC address and this name (a row of a terminal list).
    std::optional<TerminalEntry> FindByRow(const std::string& mac, const std::string& name) const;

private:
    struct Slot {
        std::uint64_t serial;
        TerminalRecord record;
    };
    TerminalEntry EntryOf(std::map<std::uint64_t, Slot>::const_iterator it) const;

    mutable std::mutex m_mutex;
    std::map<std::uint64_t, Slot> m_slots;
    std::uint64_t m_nextPosition = 1;
    std::uint64_t m_nextSerial = 1;
};

// The MAC address of each row of the main terminal list as of its last refresh;
// with the row's name it finds the row's record. It grows with the list. The
// main list's view owns it; the dialogs' terminal lists, filled in database
// order, map their rows through it too.
class MacByItemTable {
public:
    void Assign(std::vector<std::string> macs);
    // The entry of row `index`, or nothing for a row the table does not know.
    std::optional<std::string> At(int index) const;
    std::size_t Size() const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_macs;
};
