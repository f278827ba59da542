#pragma once

#include <mutex>

// net-snmp is built without its reentrant option: opening and closing sessions
// and transports touches library-wide state, so all of it happens under this lock.
std::mutex& SnmpLibraryMutex();
