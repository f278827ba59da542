#include "core/transfer/XferRequestWriter.h"

#include <optional>

#include "core/app/CTarnDoc.h"
#include "core/common/Sentinel.h"
#include "core/setup/PasswordScrambling.h"

namespace {
constexpr std::size_t kTrapIdLength = 10;
}  // namespace

std::string TrapReturnId(const std::string& target) {
    return target.size() <= kTrapIdLength ? target : target.substr(target.size() - kTrapIdLength);
}

XferRequestWriter::XferRequestWriter(CTarnDoc& doc, std::string target)
    : m_doc(doc), m_target(std::move(target)), m_result(kNoneNoneNone) {}

bool XferRequestWriter::Check(const std::string& result) {
    if (result == kNoneNoneNone) {
        return true;
    }
    m_result = result;
    m_doc.Messages().ShowMessage(result, MessageIcon::Warning);
    return false;
}

bool XferRequestWriter::Write(const std::string& oidName, const std::string& value) {
    if (m_result != kNoneNoneNone) {
        return false;
    }
    return Check(m_doc.SetSnmpValue(m_target, oidName, value));
}

bool XferRequestWriter::WriteLogin(bool retryInOlderSection) {
    if (m_result != kNoneNoneNone) {
        return false;
    }
    if (!m_doc.IsModel2200(m_target)) {
        return true;
    }
    std::string login = m_doc.GetINIValueStr("Misc", "FTPLogin", IfMissing::Report);
    if (login.empty()) {
        login = "anonymous";
    }
    // Back to "OID" when this stage is left, whichever way.
    OidSectionPerThread& oidSection = m_doc.State().OidSection();
    OidSectionSwitch restore(oidSection, oidSection.Get());
    std::string result = m_doc.SetSnmpValue(m_target, "EntOidXferUserName", login);
    if (result != kNoneNoneNone && retryInOlderSection) {
        // The first refusal is silent: the older layout keeps its login objects
        // elsewhere.
        if (m_doc.IsModel2200(m_target)) {
            oidSection.Set("TRK2200OLD");
        }
        result = m_doc.SetSnmpValue(m_target, "EntOidXferUserName", login);
    }
    if (result != kNoneNoneNone) {
        oidSection.Set(OidSectionPerThread::kDefault);
        return Check(result);
    }
    std::string stored = m_doc.GetINIValueStr("Misc", "FTPPassword", IfMissing::Report);
    std::string password = UnscramblePassword(m_doc, stored, true);
    result = m_doc.SetSnmpValue(m_target, "EntOidXferPassWord", password);
    oidSection.Set(OidSectionPerThread::kDefault);
    return Check(result);
}
