#include "core/terminals/TerminalDatabase.h"

TerminalEntry TerminalDatabase::EntryOf(std::map<std::uint64_t, Slot>::const_iterator it) const {
    return TerminalEntry{it->first, it->second.serial, it->second.record};
}

void TerminalDatabase::Append(TerminalRecord record) {
    std::lock_guard lock(m_mutex);
    m_slots.emplace(m_nextPosition++, Slot{m_nextSerial++, std::move(record)});
}

bool TerminalDatabase::ReplaceAt(std::uint64_t position, TerminalRecord record) {
    std::lock_guard lock(m_mutex);
    auto it = m_slots.find(position);
    if (it == m_slots.end()) {
        return false;
    }
    it->second = Slot{m_nextSerial++, std::move(record)};
    return true;
}

bool TerminalDatabase::ReplaceSameTerminalOrAppend(TerminalRecord record) {
    std::lock_guard lock(m_mutex);
    for (auto& [position, slot] : m_slots) {
        if (slot.record.m_name == record.m_name && slot.record.m_macAdr == record.m_macAdr) {
            slot = Slot{m_nextSerial++, std::move(record)};
            return true;
        }
    }
    m_slots.emplace(m_nextPosition++, Slot{m_nextSerial++, std::move(record)});
    return false;
}

bool TerminalDatabase::Remove(const TerminalEntry& entry) {
    std::lock_guard lock(m_mutex);
    auto it = m_slots.find(entry.position);
    if (it == m_slots.end() || it->second.serial != entry.serial) {
        return false;
    }
    m_slots.erase(it);
    return true;
}

bool TerminalDatabase::Update(const TerminalEntry& entry, const TerminalRecord& record) {
    std::lock_guard lock(m_mutex);
    auto it = m_slots.find(entry.position);
    if (it == m_slots.end() || it->second.serial != entry.serial) {
        return false;
    }
    it->second.record = record;
    return true;
}

void TerminalDatabase::Clear() {
    std::map<std::uint64_t, Slot> released;
    {
        std::lock_guard lock(m_mutex);
        released.swap(m_slots);
    }
}

std::size_t TerminalDatabase::Count() const {
    std::lock_guard lock(m_mutex);
    return m_slots.size();
}

std::optional<TerminalEntry> TerminalDatabase::First() const {
    std::lock_guard lock(m_mutex);
    if (m_slots.empty()) {
        return std::nullopt;
    }
    return EntryOf(m_slots.begin());
}

std::optional<TerminalEntry> TerminalDatabase::Next(std::uint64_t afterPosition) const {
    std::lock_guard lock(m_mutex);
    auto it = m_slots.upper_bound(afterPosition);
    if (it == m_slots.end()) {
        return std::nullopt;
    }
    return EntryOf(it);
}

std::vector<TerminalEntry> TerminalDatabase::Entries() const {
    std::lock_guard lock(m_mutex);
    std::vector<TerminalEntry> entries;
    entries.reserve(m_slots.size());
    for (auto it = m_slots.begin(); it != m_slots.end(); ++it) {
        entries.push_back(EntryOf(it));
    }
    return entries;
}

std::optional<TerminalEntry> TerminalDatabase::FindByIP(const std::string& ip) const {
    std::lock_guard lock(m_mutex);
    for (auto it = m_slots.begin(); it != m_slots.end(); ++it) {
        if (it->second.record.m_ip == ip) {
            return EntryOf(it);
        }
    }
    return std::nullopt;
}

std::optional<TerminalEntry> TerminalDatabase::FindByRow(const std::string& mac,
                                                         const std::string& name) const {
    std::lock_guard lock(m_mutex);
    for (auto it = m_slots.begin(); it != m_slots.end(); ++it) {
        if (it->second.record.m_macAdr == mac && it->second.record.m_name == name) {
            return EntryOf(it);
        }
    }
    return std::nullopt;
}

void MacByItemTable::Assign(std::vector<std::string> macs) {
    std::lock_guard lock(m_mutex);
    m_macs = std::move(macs);
}

std::optional<std::string> MacByItemTable::At(int index) const {
    std::lock_guard lock(m_mutex);
    if (index < 0 || static_cast<std::size_t>(index) >= m_macs.size()) {
        return std::nullopt;
    }
    return m_macs[static_cast<std::size_t>(index)];
}

std::size_t MacByItemTable::Size() const {
    std::lock_guard lock(m_mutex);
    return m_macs.size();
}
