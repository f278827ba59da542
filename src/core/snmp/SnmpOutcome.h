#pragma once

#include <string>

// What one SNMP GET or SET came to. `text` is what the console shows: the value
// read, "NoneNoneNone" for a SET that wrote, or the failure text (every GET
// failure text contains "Error"). Callers decide by `ok`, never by the text: a
// terminal's value may read like a failure.
struct SnmpOutcome {
    std::string text;
    bool ok = false;
    // The failure is that no answer came (a time-out, or no session opened).
    bool unanswered = false;
};
