#include "core/transfer/ManualXferRequest.h"

#include "core/app/CTarnDoc.h"
#include "core/transfer/XferRequestWriter.h"

std::string SubmitManualXferRequest(CTarnDoc& doc, const std::string& target,
                                    const ManualXferFields& fields) {
    if (fields.dest.empty() || fields.source.empty() || fields.server.empty() ||
        fields.trapId.empty()) {
        doc.Messages().ShowMessage(kFillInAllFields, MessageIcon::Warning);
        return kFillInAllFields;
    }
    XferRequestWriter request(doc, target);
    request.Write("EntOidNumDLEntries", "1");
    request.Write("EntOidXferTrapID", fields.trapId);
    request.Write("EntOidXferDirection", fields.download ? "1" : "0");
    request.Write("EntOidXferSource", fields.source);
    request.Write("EntOidXferDest", fields.dest);
    request.Write("EntOidXferType", fields.binary ? "0" : "1");
    request.Write("EntOidXferProtocol", "0");
    request.Write("EntOidXferServer", fields.server);
    request.WriteLogin(false);
    request.Write("EntOidXferImediate", "0");
    request.Write("EntOidXferSubmit", "1");
    return request.Result();
}
