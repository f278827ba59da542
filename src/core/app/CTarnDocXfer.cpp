// The transfer request: the objects that make a terminal fetch or send a file.
#include "core/app/CTarnDoc.h"
#include "core/transfer/XferRequestWriter.h"

std::string CTarnDoc::SubmitXferRequest(const std::string& fileName, const std::string& target,
                                        int toTerminal, bool binary) {
    // After a failed write the writer sends nothing more; the settings are read
    // only while the request goes on, so a failure reports no missing setting.
    XferRequestWriter request(*this, target);
    request.Write("EntOidNumDLEntries", "1");
    if (!request.Write("EntOidXferTrapID", TrapReturnId(target))) {
        return request.Result();
    }
    const std::string onServer =
        GetINIValueStr("Misc", "FTPServerPath", IfMissing::Report) + "/" + fileName;
    request.Write("EntOidXferDirection", toTerminal ? "1" : "0");
    request.Write("EntOidXferSource", toTerminal ? onServer : fileName);
    request.Write("EntOidXferDest", toTerminal ? fileName : onServer);
    request.Write("EntOidXferType", binary ? "0" : "1");
    if (!request.Write("EntOidXferProtocol", "0")) {
        return request.Result();
    }
    request.Write("EntOidXferServer", GetINIValueStr("Misc", "FTPServerName", IfMissing::Report));
    request.WriteLogin(true);
    request.Write("EntOidXferImediate", "0");
    request.Write("EntOidXferSubmit", "1");
    return request.Result();
}
