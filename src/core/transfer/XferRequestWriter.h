#pragma once

#include <string>

class CTarnDoc;

// The trap return identifier of a request to `target`: its last 10 characters,
// or all of it when shorter.
std::string TrapReturnId(const std::string& target);

// The SETs of one transfer request to one terminal. The first write that fails
// is shown in a message box and ends the request: every later call does nothing
// and returns false, so nothing after it (the submit object above all) is sent.
class XferRequestWriter {
public:
    XferRequestWriter(CTarnDoc& doc, std::string target);

    // Writes one named object; false once a write has failed.
    bool Write(const std::string& oidName, const std::string& value);
    // The FTP login and password, written only to the older model. With
    // `retryInOlderSection` a refused user name is retried once through the
    // older model's own OID section; the section is "OID" again afterwards on
    // every path. The password is the stored one, unscrambled.
    bool WriteLogin(bool retryInOlderSection);

    // "NoneNoneNone" while every write succeeded, else the failed write's text.
    const std::string& Result() const { return m_result; }

private:
    bool Check(const std::string& result);

    CTarnDoc& m_doc;
    std::string m_target;
    std::string m_result;
};
