#pragma once

#include <stop_token>

#include "core/app/CTarnDoc.h"
#include "core/snmp/StopBoundSnmpManager.h"

// The document as one worker thread uses it. The document keeps no data of its
// own, so a worker can have its own, whose SNMP requests end at once when the
// worker is stopped.
class WorkerDocument {
public:
    WorkerDocument(CTarnDoc& doc, std::stop_token stop)
        : m_snmp(doc.Snmp(), std::move(stop)), m_doc(doc.Messages(), m_snmp, doc.State()) {}
    WorkerDocument(const WorkerDocument&) = delete;
    WorkerDocument& operator=(const WorkerDocument&) = delete;

    CTarnDoc& Doc() { return m_doc; }

private:
    StopBoundSnmpManager m_snmp;
    CTarnDoc m_doc;
};
