#include "core/app/CTarnDoc.h"

#include "BuildVersion.h"
#include "core/common/TextFormat.h"
#include "core/settings/ProfileDocument.h"
#include "core/settings/ProfileStore.h"
#include "core/settings/SettingsPath.h"

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

// A port number: decimal digits only, 1 to 65535.
std::optional<unsigned> ParsePort(const std::string& text) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    unsigned long port = std::stoul(text);
    if (port < 1 || port > 65535) {
        return std::nullopt;
    }
    return static_cast<unsigned>(port);
}

const std::string kSettingsFileTopic = "settings file";
}  // namespace

CTarnDoc::CTarnDoc(IUserMessages& messages, ISnmpManager& snmp, SharedState& state)
    : m_messages(messages), m_snmp(snmp), m_state(state) {}

std::string CTarnDoc::GetTemplatePath() const {
    return SiblingFileWithExtension(GetINIPath(), "tpl");
}

void CTarnDoc::ReportOnce(const std::string& topic, const std::string& text) const {
    if (m_state.Reports().First(topic, text)) {
        m_messages.ShowMessage(text, MessageIcon::Warning);
    }
}

CTarnDoc::SettingRead CTarnDoc::ReadSetting(const std::string& section,
                                            const std::string& key) const {
    std::string path = GetINIPath();
    ProfileLookup lookup = m_state.Profiles().Lookup(path, section, key);
    if (lookup.fileProblem) {
        // One clear report instead of a "Not Found" for every key read.
        ReportOnce(kSettingsFileTopic, FormatText("The settings file %s could not be read: %s",
                                                  path.c_str(), lookup.fileProblem->c_str()));
        return {kNoneNoneNone, true};
    }
    m_state.Reports().Forget(kSettingsFileTopic);
    return {lookup.value ? CutToReadBuffer(*lookup.value) : kNoneNoneNone, false};
}

std::string CTarnDoc::GetINIValueStr(const std::string& section, const std::string& key,
                                     IfMissing ifMissing) const {
    SettingRead read = ReadSetting(section, key);
    if (ifMissing == IfMissing::Report && read.value == kNoneNoneNone) {
        if (!read.fileUnusable) {
            m_messages.ShowMessage(
                FormatText("GetINIValueStr:%s:%s:Not Found", section.c_str(), key.c_str()),
                MessageIcon::Warning);
        }
        return "GetINIValueStrError";
    }
    return read.value;
}

std::string CTarnDoc::GetINIValueStrWhole(const std::string& section, const std::string& key,
                                          IfMissing ifMissing) const {
    // The usual read makes the usual report when the key is missing.
    std::string value = GetINIValueStr(section, key, ifMissing);
    auto whole = m_state.Profiles().Read(GetINIPath(), section, key);
    return whole ? *whole : value;
}

void CTarnDoc::WriteINIValueStr(const std::string& section, const std::string& key,
                                const std::string& value) const {
    std::string path = GetINIPath();
    if (auto error = m_state.Profiles().Write(path, section, key, value)) {
        m_messages.ShowMessage(FormatText("The settings file %s could not be written: %s",
                                          path.c_str(), error->c_str()),
                               MessageIcon::Warning);
    }
}

void CTarnDoc::WriteINIValues(
    const std::string& section,
    const std::vector<std::pair<std::string, std::string>>& values) const {
    std::string path = GetINIPath();
    if (auto error = m_state.Profiles().WriteValues(path, section, values)) {
        m_messages.ShowMessage(FormatText("The settings file %s could not be written: %s",
                                          path.c_str(), error->c_str()),
                               MessageIcon::Warning);
    }
}

void CTarnDoc::DeleteINISection(const std::string& section) const {
    std::string path = GetINIPath();
    if (auto error = m_state.Profiles().DeleteSection(path, section)) {
        m_messages.ShowMessage(FormatText("The settings file %s could not be written: %s",
                                          path.c_str(), error->c_str()),
                               MessageIcon::Warning);
    }
}

long CTarnDoc::GetOptionalININumber(const std::string& section, const std::string& key,
                                    long fallback) const {
    std::string value = ReadSetting(section, key).value;
    if (value == kNoneNoneNone || value.empty()) {
        return fallback;
    }
    return ToLong(value);
}

std::optional<unsigned> CTarnDoc::GetPortSetting(const std::string& key, unsigned fallback,
                                                 std::string& problem) const {
    std::string value = ReadSetting("Misc", key).value;
    if (value == kNoneNoneNone || value.empty()) {
        return fallback;
    }
    if (auto port = ParsePort(value)) {
        return port;
    }
    // Another port in its place would talk to, or take, the wrong service.
    problem = FormatText(
        "The setting %s=%s in section Misc of the settings file %s is not a port number from 1 "
        "to 65535; it is not used",
        key.c_str(), value.c_str(), GetINIPath().c_str());
    return std::nullopt;
}

std::string CTarnDoc::GetOidFromStr(const std::string& name, const std::string& terminalIP) {
    const std::string oidSection = m_state.OidSection().Get();
    auto notFound = [&](const SettingRead& read) {
        if (!read.fileUnusable) {
            m_messages.ShowMessage(
                FormatText("GetOidFromStr:%s:%s:Not Found", oidSection.c_str(), name.c_str()),
                MessageIcon::Warning);
        }
        return std::string("OidStrError");
    };
    SettingRead read = ReadSetting(oidSection, name);
    const std::string& value = read.value;
    if (value == kNoneNoneNone) {
        return notFound(read);
    }
    if (!value.empty() && value[0] == '.') {
        return value;
    }
    if (value == "PRODUCTSPECIFIC" && EqualsNoCase(name, "OidSysObjID")) {
        // The product is learnt by reading this very object: the redirection
        // would ask for itself without end.
        return notFound(read);
    }
    std::string section = value == "PRODUCTSPECIFIC" ? GetProductSection(terminalIP) : value;
    SettingRead redirected = ReadSetting(section, name);
    if (redirected.value == kNoneNoneNone) {
        return notFound(redirected);
    }
    return redirected.value;
}

std::string CTarnDoc::GetVersionText() {
    return FormatText("%d.%d.%d.%d", fw::kVersionMajor, fw::kVersionMinor, fw::kVersionPatch,
                      fw::kVersionTweak);
}
