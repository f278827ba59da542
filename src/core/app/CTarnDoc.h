#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/app/SharedState.h"
#include "core/common/Sentinel.h"
#include "core/common/UserMessages.h"
#include "core/snmp/SnmpManager.h"
#include "core/snmp/SnmpOutcome.h"

class MacByItemTable;

// Whether a settings read reports a missing key ("GetINIValueStr:...:Not
// Found", and the value "GetINIValueStrError") or quietly gives the sentinel.
enum class IfMissing { Silent, Report };

// The console's document. It stores no data of its own; it carries the
// settings, SNMP, terminal identity and transfer operations, over the shared
// state of the run, for every window and worker it is handed to. A worker may
// have a document of its own over the same state (WorkerDocument).
class CTarnDoc {
public:
    CTarnDoc(IUserMessages& messages, ISnmpManager& snmp, SharedState& state);
    ~CTarnDoc() = default;
    CTarnDoc(const CTarnDoc&) = delete;
    CTarnDoc& operator=(const CTarnDoc&) = delete;

    // Settings file.
    const std::string& GetINIPath() const { return m_state.SettingsPath(); }
    // The template: the settings path with "tpl" in place of "ini".
    std::string GetTemplatePath() const;
    std::string GetINIValueStr(const std::string& section, const std::string& key,
                               IfMissing ifMissing) const;
    // The same without the read buffer's limit, for lists that outgrow it.
    std::string GetINIValueStrWhole(const std::string& section, const std::string& key,
                                    IfMissing ifMissing) const;
    void WriteINIValueStr(const std::string& section, const std::string& key,
                          const std::string& value) const;
    // Several keys in one write of the file: all of them or, when the file
    // cannot be written, none (reported once).
    void WriteINIValues(const std::string& section,
                        const std::vector<std::pair<std::string, std::string>>& values) const;
    void DeleteINISection(const std::string& section) const;
    std::string GetOidFromStr(const std::string& name, const std::string& terminalIP);
    // An optional setting (read without the "Not Found" report) as a number.
    long GetOptionalININumber(const std::string& section, const std::string& key,
                              long fallback) const;
    // An optional port setting of section Misc: `fallback` when missing or empty;
    // nothing when it is not a number from 1 to 65535, with `problem` saying so.
    std::optional<unsigned> GetPortSetting(const std::string& key, unsigned fallback,
                                           std::string& problem) const;

    // SNMP GET and SET of a named object, as outcomes.
    SnmpOutcome GetSnmpOutcome(const std::string& terminalIP, const std::string& oidName,
                               int index = 0, int timeoutMs = 0, int retries = 0);
    SnmpOutcome SetSnmpOutcome(const std::string& terminalIP, const std::string& oidName,
                               const std::string& value);
    // The same as the texts the console shows: the value or the failure text;
    // "NoneNoneNone" for a SET that wrote.
    std::string GetSnmpValue(const std::string& terminalIP, const std::string& oidName,
                             int index = 0, int timeoutMs = 0, int retries = 0) {
        return GetSnmpOutcome(terminalIP, oidName, index, timeoutMs, retries).text;
    }
    std::string SetSnmpValue(const std::string& terminalIP, const std::string& oidName,
                             const std::string& value) {
        return SetSnmpOutcome(terminalIP, oidName, value).text;
    }

    // Terminal identity and registration.
    std::string ResolveEnterprisePrefix(const std::string& sysObjectID) const;
    std::string GetEnterprisePrefix(const std::string& terminalIP) const;
    std::string GetProductSection(const std::string& terminalIP);
    bool IsModel2200(const std::string& terminalIP);
    std::string GetMacAddress(const std::string& terminalIP);
    bool RegisterTerminal(const std::string& terminalIP);

    // Asks the terminal at `target` to fetch (`toTerminal` nonzero) or send the
    // file `fileName` through the FTP staging server of the settings. Returns
    // "NoneNoneNone" once every object is written, else the text of the write
    // that failed (already shown).
    std::string SubmitXferRequest(const std::string& fileName, const std::string& target,
                                  int toTerminal, bool binary);

    // The identity pop-up of a row of a terminal list.
    void ShowTerminalInfo(const MacByItemTable& macByItem, const std::string& name,
                          int index) const;

    // The build's version as "%d.%d.%d.%d".
    static std::string GetVersionText();

    IUserMessages& Messages() const { return m_messages; }
    // The state that windows and workers share.
    SharedState& State() const { return m_state; }
    ISnmpManager& Snmp() const { return m_snmp; }

private:
    // A setting's text ("NoneNoneNone" when missing), cut to the read buffer.
    // A settings file that cannot be used is reported once, not at every read.
    struct SettingRead {
        std::string value;
        bool fileUnusable = false;
    };
    SettingRead ReadSetting(const std::string& section, const std::string& key) const;
    // Shows `text` unless it is what was last shown on `topic`.
    void ReportOnce(const std::string& topic, const std::string& text) const;
    // Forms the request's binding; returns the early result text when it cannot.
    std::optional<std::string> FormRequest(const std::string& terminalIP,
                                           const std::string& oidName, int index, bool forSet,
                                           SnmpVarBindList& bindings);
    // "Misc"/SnmpPort; nothing (reported once) when it is not a port.
    std::optional<unsigned> AgentPort() const;

    IUserMessages& m_messages;
    ISnmpManager& m_snmp;
    SharedState& m_state;
};
