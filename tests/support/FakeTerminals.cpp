#include "FakeTerminals.h"

#include <filesystem>

#include "TestFiles.h"
#include "core/terminals/TerminalDatabase.h"

void AddFakeTerminal(FakeSnmpManager& snmp, const FakeTerminal& t) {
    auto& objects = snmp.agents[t.ip];
    objects.clear();
    auto text = [&](const std::string& oid, const std::string& value) {
        objects[oid] = FakeSnmpManager::Text(value);
    };
    text(".1.3.6.1.2.1.1.5.0", t.name);
    text(".1.3.6.1.2.1.1.1.0", t.description);
    text(".1.3.6.1.2.1.1.6.0", t.location);
    text(".1.3.6.1.2.1.1.4.0", t.contact);
    objects[".1.3.6.1.2.1.1.2.0"] = FakeSnmpManager::Oid(t.sysObjectID);
    objects[".1.3.6.1.2.1.2.1.0"] = FakeSnmpManager::Integer(t.interfaces);
    for (int i = 1; i <= t.interfaces; ++i) {
        std::string index = "." + std::to_string(i);
        objects[".1.3.6.1.2.1.2.2.1.3" + index] =
            FakeSnmpManager::Integer(i == t.ethernetAt ? 6 : 24);
        SnmpValue mac;
        mac.type = asn::kOctetString;
        std::string hex = i == t.ethernetAt ? t.mac : "000000000000";
        for (std::size_t b = 0; b + 1 < hex.size(); b += 2) {
            mac.octets.push_back(
                static_cast<std::uint8_t>(std::stoi(hex.substr(b, 2), nullptr, 16)));
        }
        objects[".1.3.6.1.2.1.2.2.1.6" + index] = mac;
    }
    if (t.sysObjectID == FakeTerminal::kCurrentModel) {
        const std::string p = ".1.3.6.1.4.1.32473.10";
        text(p + ".1.1.0", t.modDate);
        text(p + ".1.2.0", t.build);
        text(p + ".1.3.0", t.platform);
        text(p + ".1.4.0", t.custom1);
        text(p + ".1.5.0", t.custom2);
        text(p + ".1.6.0", t.custom3);
    } else if (t.sysObjectID == FakeTerminal::kOlderModel) {
        const std::string p = ".1.3.6.1.4.1.32473.22";
        text(p + ".1.1.0", "1");
        text(p + ".1.4.0", t.custom1);
        text(p + ".1.5.0", t.custom2);
        text(p + ".1.6.0", t.custom3);
        text(p + ".9.1.0", t.modDate);
        text(p + ".9.2.0", t.build);
        text(p + ".9.3.0", t.platform);
    }
}

std::string DefaultSettingsWith(const std::string& extraMisc, const Peers& peers) {
    std::string misc = extraMisc;
    auto add = [&](const char* key, unsigned port) {
        if (port != 0) {
            misc += std::string(key) + "=" + std::to_string(port) + "\n";
        }
    };
    add("SnmpPort", peers.snmp);
    add("TrapPort", peers.trap);
    add("FTPServerPort", peers.ftp);
    if (peers.ftp != 0) {
        misc += "FTPServerName=127.0.0.1\n";
    }
    if (peers.trap != 0 || peers.ftp != 0) {
        misc += "LocalHostIP=127.0.0.1\n";
    }
    std::string text = ReadTextFile(ShippedSettingsPath());
    const std::string marker = "[Misc]\n";
    return text.insert(text.find(marker) + marker.size(), misc);
}

void InstallShippedTemplate(const std::string& settingsPath) {
    std::filesystem::copy_file(FLEETWARDEN_SOURCE_DIR "/resources/fleetwarden.tpl",
                               settingsPath.substr(0, settingsPath.size() - 3) + "tpl",
                               std::filesystem::copy_options::overwrite_existing);
}

std::vector<TerminalRecord> DatabaseRecords(const TerminalDatabase& terminals) {
    std::vector<TerminalRecord> records;
    for (const auto& entry : terminals.Entries()) {
        records.push_back(entry.record);
    }
    return records;
}
