#pragma once

#include <string>

class CTarnDoc;

// The workstation's IPv4 address in dotted text, written into every terminal's
// trap destination: "Misc"/LocalHostIP when set, otherwise the first
// non-loopback IPv4 interface address, otherwise the host name's address;
// the empty text when none is found.
std::string GetLocalHostIP(CTarnDoc& doc);

// The same without the settings key (for the parts that need the interface rule).
std::string FirstInterfaceIPv4();
