#pragma once

#include <memory>
#include <string>

#include "Recorders.h"
#include "TestFiles.h"
#include "core/app/CTarnDoc.h"

// A document over a settings file of the test's own, in a fresh directory, with
// message boxes recorded, and shared state of its own (communities "public"
// and "private").
class TestDocument {
public:
    explicit TestDocument(const std::string& settingsText, ISnmpManager* snmp = nullptr);
    ~TestDocument();

    CTarnDoc& Doc() { return *m_doc; }
    SharedState& State() { return *m_state; }
    TerminalDatabase& Terminals() { return m_state->Terminals(); }
    RecordingMessages& Messages() { return m_messages; }
    const std::string& SettingsPath() const { return m_settingsPath; }
    TempDir& Dir() { return m_dir; }

private:
    TempDir m_dir;
    std::string m_settingsPath;
    RecordingMessages m_messages;
    std::unique_ptr<SharedState> m_state;
    std::unique_ptr<CTarnDoc> m_doc;
};

// Settings text that points the OID names the tests use at the test agent's
// objects, with the agent's port and the communities "public" and "private".
std::string AgentSettings(unsigned snmpPort);
