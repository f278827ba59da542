#include <gtest/gtest.h>

#include <atomic>

#include "FakeTerminals.h"
#include "TestDocument.h"
#include "core/common/ProgressNotice.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/terminfo/TerminalInfoEditing.h"

namespace {

const std::string kSysName = ".1.3.6.1.2.1.1.5.0";
const std::string kDomain = ".1.3.6.1.4.1.32473.10.1.7.0";

TEST(StripDomain, CutsTheDomainAndItsSeparatorOnlyAfterTheFirstCharacter) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"KIOSK.fleet.example", "fleet.example", "KIOSK"},
        {"KIOSK", "", "KIOSK"},
        {"KIOSK.other.example", "fleet.example", "KIOSK.other.example"},
        {"fleet.example", "fleet.example", "fleet.example"},  // found at the start
        {"A.fleet.example.fleet.example", "fleet.example", "A"},
    };
    for (const auto& [name, domain, expected] : cases) {
        EXPECT_EQ(StripDomain(name, domain), expected) << name << " / " << domain;
    }
}

// Terminals named T0..T(count-1), each of its own MAC address, whose stored
// names carry their domain "fleet.example".
struct Fleet {
    FakeSnmpManager snmp;
    std::unique_ptr<TestDocument> t;
    NoProgressNotice notice;

    Fleet(int count, long parallel) {
        t = std::make_unique<TestDocument>(
            DefaultSettingsWith("TransferParallel=" + std::to_string(parallel) + "\n"), &snmp);
        for (int i = 0; i < count; ++i) {
            char mac[13];
            std::snprintf(mac, sizeof(mac), "0080641200%02d", i);
            std::string ip = "127.0.0." + std::to_string(30 + i);
            AddFakeTerminal(
                snmp, {.ip = ip, .name = "T" + std::to_string(i) + ".fleet.example", .mac = mac});
            snmp.SetAgentValue(ip, kDomain, FakeSnmpManager::Text("fleet.example"));
            t->Doc().RegisterTerminal(ip);
        }
    }
    ~Fleet() { g_Terminals.Clear(); }

    TerminalEntry Entry(int i) { return g_Terminals.Entries().at(static_cast<std::size_t>(i)); }
    SetTargetResult Set(int i, const TerminalInfoTexts& texts) {
        return SetTargetInfo(t->Doc(), Entry(i), texts, BlankFields::Ignore, {}, notice);
    }
    int Sets() const {
        int sets = 0;
        for (const auto& request : snmp.Requests()) {
            sets += request.type == SnmpPduType::Set;
        }
        return sets;
    }
};

// The search reads each terminal's domain once, ahead in parallel or one by
// one, and decides the same either way.
TEST(TerminalInfoEditing, TheDuplicateSearchDecidesAlikeOneByOneAndInParallel) {
    struct Case {
        std::string name;
        SetTargetResult::Outcome outcome;
    };
    const Case cases[] = {
        {"T7", SetTargetResult::Outcome::DuplicateName},  // another terminal, without domain
        {"T3", SetTargetResult::Outcome::Complete},       // the edited terminal's own name
        {"t7", SetTargetResult::Outcome::Complete},       // letter case differs
    };
    for (long parallel : {1L, 8L}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name + " with " + std::to_string(parallel));
            Fleet f(12, parallel);
            ASSERT_EQ(g_Terminals.Count(), 12u);
            f.snmp.delay = std::chrono::milliseconds(3);
            SetTargetResult result = f.Set(3, {.name = c.name});
            EXPECT_EQ(f.snmp.MostInFlight() > 1, parallel > 1);
            EXPECT_EQ(result.outcome, c.outcome) << result.message;
            bool complete = c.outcome == SetTargetResult::Outcome::Complete;
            EXPECT_EQ(f.Sets(), complete ? 1 : 0);
            if (complete) {
                for (int i = 0; i < 12; ++i) {
                    EXPECT_EQ(f.snmp.GetCount(f.Entry(i).record.m_strIP, kDomain), 1) << i;
                }
                EXPECT_EQ(f.Entry(3).record.m_strName, c.name);
            }
            EXPECT_TRUE(f.t->Messages().Texts().empty());
        }
    }
}

// The terminal took the name but could not be read back: the record keeps the
// name written, not a failure text that no refresh would match.
TEST(TerminalInfoEditing, ANameThatCannotBeReadBackIsStoredAsWritten) {
    Fleet f(2, 1);
    FakeSnmpManager& snmp = f.snmp;
    const std::string ip = f.Entry(1).record.m_strIP;
    std::atomic<bool> renamed{false};
    snmp.beforeAnswer = [&](const FakeSnmpManager::Request& request) {
        if (OidToText(request.bindings.at(0).name) != kSysName) {
            return;
        }
        if (request.type == SnmpPduType::Set) {
            renamed = true;
        } else if (renamed) {
            snmp.silentAgents.insert(ip);
        }
    };
    SetTargetResult result = f.Set(1, {.name = "NEW", .location = "Hall"});
    snmp.beforeAnswer = nullptr;
    // The location's write then failed on the silent terminal.
    EXPECT_EQ(result.outcome, SetTargetResult::Outcome::SetFailed);
    EXPECT_TRUE(result.written);
    EXPECT_EQ(f.Entry(1).record.m_strName, "NEW");
    EXPECT_EQ(f.Entry(1).record.m_strLocation, "Lab");
}

}  // namespace
