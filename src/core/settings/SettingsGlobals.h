#pragma once

#include <string>

#include "core/common/GuardedText.h"

// The read and write communities of every SNMP request, loaded when the view is
// built and replaced by Setup's OK.
extern GuardedText g_GetCommunity;
extern GuardedText g_SetCommunity;

// The section in which OID names are looked up: "OID", switched to "TRK2200OLD"
// only by the operation that reads or writes an older terminal. Each thread has
// its own, so a switch never reaches another thread's lookups.
extern thread_local std::string g_OidSection;

// The OID section of the calling thread, as the shared state hands it out.
class OidSectionPerThread {
public:
    std::string Get() const { return g_OidSection; }
    void Set(const std::string& section) { g_OidSection = section; }
};

// Restores "OID" when an operation that switched the section leaves its scope.
class OidSectionSwitch {
public:
    explicit OidSectionSwitch(const std::string& section) { g_OidSection = section; }
    OidSectionSwitch(OidSectionPerThread& oidSection, const std::string& section) {
        oidSection.Set(section);
    }
    ~OidSectionSwitch() { g_OidSection = "OID"; }
    OidSectionSwitch(const OidSectionSwitch&) = delete;
    OidSectionSwitch& operator=(const OidSectionSwitch&) = delete;
};

// The not-found sentinel of every settings read, and the success text of a SET.
inline const std::string kNoneNoneNone = "NoneNoneNone";
