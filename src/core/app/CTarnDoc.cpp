#include "core/app/CTarnDoc.h"

#include "BuildVersion.h"
#include "core/common/TextFormat.h"
#include "core/settings/ProfileStore.h"
#include "core/settings/SettingsGlobals.h"
#include "core/settings/SettingsPath.h"

CTarnDoc* g_pDoc = nullptr;

namespace {
// A read returns at most 254 characters, without cutting a UTF-8 character.
std::string CutToReadBuffer(std::string value) {
    constexpr std::size_t kMax = 254;
    if (value.size() <= kMax) {
        return value;
    }
    std::size_t cut = kMax;
    while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    value.resize(cut);
    return value;
}

std::string ReadSetting(const std::string& section, const std::string& key) {
    auto value = ProfileStore::Read(GetINIPath(), section, key);
    return value ? CutToReadBuffer(*value) : kNoneNoneNone;
}
}  // namespace

CTarnDoc::CTarnDoc(IUserMessages& messages, ISnmpManager& snmp)
    : m_messages(messages), m_snmp(snmp) {}

std::string CTarnDoc::GetINIValueStr(const std::string& section, const std::string& key,
                                     int report) const {
    std::string value = ReadSetting(section, key);
    if (report != 0 && value == kNoneNoneNone) {
        m_messages.ShowMessage(
            FormatText("GetINIValueStr:%s:%s:Not Found", section.c_str(), key.c_str()),
            MessageIcon::None);
        return "GetINIValueStrError";
    }
    return value;
}

std::string CTarnDoc::GetINIValueStrWhole(const std::string& section, const std::string& key,
                                          int report) const {
    // The usual read makes the usual report when the key is missing.
    std::string value = GetINIValueStr(section, key, report);
    auto whole = ProfileStore::Read(GetINIPath(), section, key);
    return whole ? *whole : value;
}

void CTarnDoc::WriteINIValueStr(const std::string& section, const std::string& key,
                                const std::string& value) const {
    std::string path = GetINIPath();
    if (auto error = ProfileStore::Write(path, section, key, value)) {
        m_messages.ShowMessage(FormatText("The settings file %s could not be written: %s",
                                          path.c_str(), error->c_str()),
                               MessageIcon::Warning);
    }
}

void CTarnDoc::WriteINIValues(
    const std::string& section,
    const std::vector<std::pair<std::string, std::string>>& values) const {
    std::string path = GetINIPath();
    if (auto error = ProfileStore::WriteValues(path, section, values)) {
        m_messages.ShowMessage(FormatText("The settings file %s could not be written: %s",
                                          path.c_str(), error->c_str()),
                               MessageIcon::Warning);
    }
}

void CTarnDoc::DeleteINISection(const std::string& section) const {
    std::string path = GetINIPath();
    if (auto error = ProfileStore::DeleteSection(path, section)) {
        m_messages.ShowMessage(FormatText("The settings file %s could not be written: %s",
                                          path.c_str(), error->c_str()),
                               MessageIcon::Warning);
    }
}

long CTarnDoc::GetOptionalININumber(const std::string& section, const std::string& key,
                                    long fallback) const {
    std::string value = ReadSetting(section, key);
    if (value == kNoneNoneNone || value.empty()) {
        return fallback;
    }
    return ToLong(value);
}

std::string CTarnDoc::GetOidFromStr(const std::string& name, const std::string& terminalIP) {
    const std::string oidSection = g_OidSection;
    auto notFound = [&] {
        m_messages.ShowMessage(
            FormatText("GetOidFromStr:%s:%s:Not Found", oidSection.c_str(), name.c_str()),
            MessageIcon::None);
        return std::string("OidStrError");
    };
    std::string value = ReadSetting(oidSection, name);
    if (value == kNoneNoneNone) {
        return notFound();
    }
    if (!value.empty() && value[0] == '.') {
        return value;
    }
    std::string section = value == "PRODUCTSPECIFIC" ? GetProductSection(terminalIP) : value;
    std::string redirected = ReadSetting(section, name);
    if (redirected == kNoneNoneNone) {
        return notFound();
    }
    return redirected;
}

std::string CTarnDoc::GetVersionText() {
    return FormatText("%d.%d.%d.%d", fw::kVersionMajor, fw::kVersionMinor, fw::kVersionPatch,
                      fw::kVersionTweak);
}
