#pragma once

#include <map>
#include <mutex>
#include <string>
#include <thread>

// The section in which OID names are looked up: "OID", switched to "TRK2200OLD"
// only by the operation that reads or writes an older terminal. Each thread has
// its own, so a switch never reaches another thread's lookups.
class OidSectionPerThread {
public:
    std::string Get() const {
        std::lock_guard lock(m_mutex);
        auto found = m_switched.find(std::this_thread::get_id());
        return found == m_switched.end() ? kDefault : found->second;
    }
    void Set(const std::string& section) {
        std::lock_guard lock(m_mutex);
        if (section == kDefault) {
            m_switched.erase(std::this_thread::get_id());
        } else {
            m_switched[std::this_thread::get_id()] = section;
        }
    }

    inline static const std::string kDefault = "OID";

private:
    mutable std::mutex m_mutex;
    // Only the threads whose section is not "OID".
    std::map<std::thread::id, std::string> m_switched;
};

// Switches the calling thread's section for a scope and restores "OID" when the
// scope is left, whichever way.
class OidSectionSwitch {
public:
    OidSectionSwitch(OidSectionPerThread& oidSection, const std::string& section)
        : m_oidSection(oidSection) {
        m_oidSection.Set(section);
    }
    ~OidSectionSwitch() { m_oidSection.Set(OidSectionPerThread::kDefault); }
    OidSectionSwitch(const OidSectionSwitch&) = delete;
    OidSectionSwitch& operator=(const OidSectionSwitch&) = delete;

private:
    OidSectionPerThread& m_oidSection;
};
