#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "FakeTerminals.h"
#include "TestDocument.h"
#include "core/common/ProgressNotice.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/terminfo/TerminalInfoEditing.h"

namespace {

const std::string kSysName = ".1.3.6.1.2.1.1.5.0";
const std::string kDomain = ".1.3.6.1.4.1.32473.10.1.7.0";
using Outcome = SetTargetResult::Outcome;

TEST(StripDomain, CutsTheDomainAndItsSeparatorOnlyAfterTheFirstCharacter) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"KIOSK.fleet.example", "fleet.example", "KIOSK"},
        {"KIOSK.other.example", "fleet.example", "KIOSK.other.example"},
        {"fleet.example", "fleet.example", "fleet.example"},
    };
    for (const auto& [name, domain, expected] : cases) {
        EXPECT_EQ(StripDomain(name, domain), expected) << name << " / " << domain;
    }
}

// Terminals T0..T(count-1) of their own MAC addresses, whose stored names
// carry the domain "fleet.example" they report.
struct Fleet {
    FakeSnmpManager snmp;
    TestDocument t;
    Fleet(int count, long parallel)
        : t(DefaultSettingsWith("TransferParallel=" + std::to_string(parallel) + "\n"), &snmp) {
        for (int i = 0; i < count; ++i) {
            std::string ip = "127.0.0." + std::to_string(30 + i);
            AddFakeTerminal(snmp, {.ip = ip,
                                   .name = "T" + std::to_string(i) + ".fleet.example",
                                   .mac = "0080641200" + std::to_string(10 + i)});
            snmp.SetAgentValue(ip, kDomain, FakeSnmpManager::Text("fleet.example"));
            t.Doc().RegisterTerminal(ip);
        }
    }
    TerminalEntry Entry(int i) { return t.Terminals().Entries().at(static_cast<std::size_t>(i)); }
    SetTargetResult Set(int i, const TerminalInfoTexts& texts) {
        NoProgressNotice notice;
        return SetTargetInfo(t.Doc(), Entry(i), texts, BlankFields::Ignore, {}, notice);
    }
};

// One domain read per terminal, ahead in parallel or one by one, and the same
// decision either way.
TEST(TerminalInfoEditing, TheDuplicateSearchDecidesAlikeOneByOneAndInParallel) {
    const std::pair<std::string, Outcome> cases[] = {
        {"T7", Outcome::DuplicateName},  // another terminal's, without its domain
        {"T3", Outcome::Complete},       // the edited terminal's own
        {"t7", Outcome::Complete},       // another's in other letters
    };
    for (long parallel : {1L, 8L}) {
        for (const auto& [name, outcome] : cases) {
            SCOPED_TRACE(name + " with " + std::to_string(parallel));
            Fleet f(12, parallel);
            f.snmp.delay = std::chrono::milliseconds(3);
            EXPECT_EQ(f.Set(3, {.name = name}).outcome, outcome);
            EXPECT_EQ(f.snmp.MostInFlight() > 1, parallel > 1);
            bool complete = outcome == Outcome::Complete;
            auto requests = f.snmp.Requests();
            EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                                    [](const auto& r) { return r.type == SnmpPduType::Set; }),
                      complete ? 1 : 0);
            EXPECT_EQ(f.Entry(3).record.m_name, complete ? name : "T3.fleet.example");
            for (int i = 0; complete && i < 12; ++i) {
                EXPECT_EQ(f.snmp.GetCount(f.Entry(i).record.m_ip, kDomain), 1) << i;
            }
            EXPECT_TRUE(f.t.Messages().Texts().empty());
        }
    }
}

// The terminal took the name but cannot be read back: the record keeps the
// name written, not a failure text that the next refresh would drop it for.
TEST(TerminalInfoEditing, ANameThatCannotBeReadBackIsStoredAsWritten) {
    Fleet f(2, 1);
    const std::string ip = f.Entry(1).record.m_ip;
    std::atomic<bool> renamed{false};
    f.snmp.beforeAnswer = [&](const FakeSnmpManager::Request& request) {
        if (OidToText(request.bindings.at(0).name) == kSysName) {
            if (request.type == SnmpPduType::Set) {
                renamed = true;
            } else if (renamed) {
                f.snmp.silentAgents.insert(ip);
            }
        }
    };
    SetTargetResult result = f.Set(1, {.name = "NEW", .location = "Hall"});
    f.snmp.beforeAnswer = nullptr;
    EXPECT_EQ(result.outcome, Outcome::SetFailed);  // the location, on a silent terminal
    EXPECT_TRUE(result.written);
    EXPECT_EQ(f.Entry(1).record.m_name, "NEW");
    EXPECT_EQ(f.Entry(1).record.m_location, "Lab");
}

}  // namespace
