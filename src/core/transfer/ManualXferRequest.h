#pragma once

#include <string>

class CTarnDoc;

// A transfer request as the administrator types it: every field is sent as it
// stands, with no server path added and no check of the direction.
struct ManualXferFields {
    std::string trapId;    // at most 10 characters (the entry field holds no more)
    bool download = true;  // the terminal fetches the file; false: it sends it
    bool binary = true;    // false: an ASCII transfer
    std::string source;
    std::string dest;
    std::string server;
};

// Shown when a field is empty; nothing is sent then.
inline const char kFillInAllFields[] = "Fill in all fields!";

// Writes the request to `target` in the order of every transfer request. The
// older model gets the FTP login and password, with no retry through another
// OID section. Returns "NoneNoneNone", or the text it showed: kFillInAllFields
// or the failed write's text.
std::string SubmitManualXferRequest(CTarnDoc& doc, const std::string& target,
                                    const ManualXferFields& fields);
