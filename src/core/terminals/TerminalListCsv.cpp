#include "core/terminals/TerminalListCsv.h"

#include <algorithm>

namespace {

std::string CsvField(const std::string& value) {
    bool plain = std::none_of(value.begin(), value.end(), [](unsigned char c) {
        return c == ',' || c == '"' || c < 0x20 || c == 0x7F;
    });
    if (plain) {
        return value;
    }
    std::string quoted = "\"";
    for (char c : value) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

}  // namespace

std::vector<std::string> TerminalListColumns(const TerminalRecord& r) {
    return {r.m_name,         r.m_version,      r.m_location,     r.m_contact,
            r.m_customField1, r.m_customField2, r.m_customField3, r.m_buildNum,
            r.m_modDate,      r.m_ip,           r.m_macAdr,       r.m_platForm};
}

std::string TerminalListCsv(const std::vector<TerminalEntry>& entries) {
    std::string csv =
        "Name,Version,Location,Contact,Custom Field 1,Custom Field 2,"
        "Custom Field 3,Build #,ModDate,IP Address,MAC Address,Platform\r\n";
    for (const auto& entry : entries) {
        std::vector<std::string> columns = TerminalListColumns(entry.record);
        for (std::size_t i = 0; i < columns.size(); ++i) {
            csv += (i > 0 ? "," : "") + CsvField(columns[i]);
        }
        csv += "\r\n";
    }
    return csv;
}
