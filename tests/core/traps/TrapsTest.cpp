#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <mutex>
#include <thread>

#include "FakeTerminals.h"
#include "MissingPeer.h"
#include "SnmpdAgent.h"
#include "TrapSender.h"
#include "TrapTestSupport.h"
#include "core/common/StringTable.h"
#include "core/common/TextFormat.h"
#include "core/terminals/RefreshTerminals.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/traps/TrapDecoding.h"
#include "core/traps/TrapIntake.h"
#include "core/traps/UploadOutcome.h"

namespace {

// The trap listener end to end: traps from net-snmp's snmptrap and from our
// sender go through the trap service into the Trap Monitor's lines.
std::vector<std::string> Lines(std::initializer_list<std::string> lines) {
    return lines;
}

bool RunSnmptrap(const std::vector<std::string>& argv) {
    return !argv.empty() && RunCommand(argv).exitCode == 0;
}

TEST(TrapListener, EveryTrapTableRowFromSnmptrapWithTheSendersName) {
    SnmpdAgent agent;
    if (!agent.Ready() || FindProgram("snmptrap").empty()) {
        SKIP_FOR_MISSING_PEER("snmpd or snmptrap missing");
    }
    ListeningConsole console(AgentSettings(agent.Port()), nullptr);
    ASSERT_TRUE(console.Listening());
    std::string name = console.document.Doc().GetSnmpValue("127.0.0.1", "OidSysName");
    ASSERT_FALSE(Contains(name, "Error")) << name;

    struct Row {
        int generic, specific;
        std::vector<TrapBindingText> bindings;
        std::vector<std::string> meaning;
    };
    const std::string e = ".1.3.6.1.4.1.32473.5.";
    const std::vector<Row> rows = {
        // Cold and warm start with a specific number other than 0 register nothing.
        {0, 3, {}, {"Cold Start"}},
        {1, 7, {}, {"Warm Start"}},
        {2, 0, {}, {"Link Down"}},
        {3, 0, {}, {"Link Up"}},
        {4, 1, {}, {"Protocol Message Authentication Failure"}},
        {5, 0, {}, {"Unknown Trap generic=5 private=0"}},
        {6, 1, {}, {"Firmware Build # Mismatch From DHCP Server"}},
        {6, 2, {}, {"Firmware Upgrade Initiated Due to Build # Mismatch"}},
        {6,
         3,
         {{e + "1", 's', "a"},
          {e + "2", 's', "b"},
          {e + "3", 'i', "1"},
          {e + "4", 'i', "2"},
          {e + "5", 'i', "3"},
          {e + "6", 'i', "4"},
          {e + "7", 'i', "10"}},
         {"Firmware Upgrade Initiated Due to Build # Mismatch Not Completed",
          "Error In File Transfer Using Specified Protocol"}},
        {6, 4, {}, {"Ready To Accept Upload / Download Request From SNMP Manager"}},
        {6, 5, {}, {"SNMP Initiated Up/Download Request Done"}},
        {6,
         6,
         {{e + "1", 'i', "4"}, {e + "2", 'i', "9"}},
         {"SNMP Initiated Up/Download Request Not Completed",
          "Missing Server Or Cannot Connect To Server"}},
        {6,
         7,
         {{e + "1", 's', "not a number"}},
         {"SNMP Initiated Reboot Request Not Completed", "ASN Type Not Integer"}},
        // The reason binding missing altogether.
        {6,
         6,
         {{e + "1", 'i', "9"}},
         {"SNMP Initiated Up/Download Request Not Completed", "ASN Type Not Integer"}},
        {6, 8, {}, {"Unknown Trap generic=6 private=8"}},
        {6, -2, {}, {"Unknown Trap generic=6 private=-2"}},
        {7, 2, {}, {"Unknown Trap generic=7 private=2"}},
    };
    for (const auto& row : rows) {
        // Any community is accepted.
        ASSERT_TRUE(RunSnmptrap(SnmptrapV1(console.trapPort, "127.0.0.1", row.generic, row.specific,
                                           row.bindings, "no-such-community")));
    }
    ASSERT_TRUE(console.WaitForTraps(rows.size()));
    auto blocks = console.Blocks();
    ASSERT_EQ(blocks.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::vector<std::string> expected = {name + " : 127.0.0.1"};
        expected.insert(expected.end(), rows[i].meaning.begin(), rows[i].meaning.end());
        EXPECT_EQ(blocks[i].lines, expected) << "row " << i;
    }
    EXPECT_TRUE(console.document.Terminals().Empty());
    EXPECT_EQ(console.view.trapNewUnits, 0);
}

TEST(TrapDecoding, ReasonTableByValueAndType) {
    const char* const texts[] = {
        "Done",
        "Done / Same Version",
        "Not Ready To Process This Request",
        "Terminal Initiated a Shut Down",
        "SNMP/DHCP Update Disabled From Terminal",
        "Download Blocked / Not Bundle And FIle Does Not Exist",
        "Source File Not Found",
        "Error Ocurred While Sending A File To The Terminal",
        "Upload Process is Blocked By Terminal",
        "Missing Server Or Cannot Connect To Server",
        "Error In File Transfer Using Specified Protocol",
        "Not Enough Memory To Store Update Image",
        "No Resource In Protocol Stack To Handle This Request",
        "Failed To Resolve Server Name To IP Address",
        "A Non-Bundle File Was Used With A DHCP Invoked Download",
        "Checksum Error On Received Bundle File",
        "Flash Initialization Failed",
        "Failed To Write To Flash",
        "Terminal Canceled Firmware Download",
        "Invalid NOR Flash",
        "Transfer Protocol Not Supported",
        "Download OK, Registry Parse and Update Fail, Possible Bad Registry File",
        "Download OK, Registry Parse And Update Fail, Build # In Registry File Newer Than "
        "Target.",
        "Download OK, Registry Parse and Update Fail, Platform In Registry File Different From "
        "Target",
        "Download OK, Registry Parse and Update Fail, OS In Registry File Different From Target",
        "Failed to Reset The Terminal To Factory Default Settings",
        "Failed To Read Params.ini File From FTP/TFTP Server",
        "Attempted Firmware Download With Invalid Bootstrap.exe, Non-Compatible Terminal "
        "Hardware.",
        "The New Firmware Image Is Not Valid For This Terminal",
        "Firmware Bootflash Code Not Compatible With Terminal Bootflash Hardware"};
    auto reason = [](SnmpValue value, std::size_t index = 1) {
        SnmpVarBindList bindings(2);
        bindings[1].value = std::move(value);
        return LoadResString(TrapReasonText(bindings, index));
    };
    for (int value = 0; value < 30; ++value) {
        EXPECT_EQ(reason(FakeSnmpManager::Integer(value)), texts[value]) << value;
    }
    for (long long value : {-1LL, 30LL, 1LL << 40}) {
        EXPECT_EQ(reason(FakeSnmpManager::Integer(value)), "Specific Trap Definition Not Found");
    }
    SnmpValue counter = FakeSnmpManager::Integer(9);
    counter.type = asn::kCounter;
    EXPECT_EQ(reason(counter), "ASN Type Not Integer");
    EXPECT_EQ(reason(FakeSnmpManager::Text("9")), "ASN Type Not Integer");
    EXPECT_EQ(reason(FakeSnmpManager::Integer(9), 2), "ASN Type Not Integer");
}

// A cold or warm start registers its sender once, and tells the view, unless
// the settings do not display the sender's product.
TEST(TrapListener, StartTrapsRegisterNewTerminalsOfTheDisplayedProduct) {
    if (FindProgram("snmptrap").empty()) {
        SKIP_FOR_MISSING_PEER("snmptrap missing");
    }
    FakeSnmpManager snmp;
    AddFakeTerminal(snmp, {.ip = "127.0.0.21", .name = "ALPHA", .mac = "0080641200AA"});
    AddFakeTerminal(snmp, {.ip = "127.0.0.22", .name = "BETA", .mac = "0080641200BB"});
    AddFakeTerminal(snmp, {.ip = "127.0.0.23", .name = "ODD", .sysObjectID = ".1.3.6.1.4.1.9.1"});
    ListeningConsole console(DefaultSettingsWith("DisplayProduct=1\n"), &snmp);
    ASSERT_TRUE(console.Listening());
    for (auto [ip, generic] : {std::pair{"127.0.0.21", 0}, {"127.0.0.21", 0}, {"127.0.0.23", 1}}) {
        ASSERT_TRUE(RunSnmptrap(SnmptrapV1(console.trapPort, ip, generic, 0)));
    }
    ASSERT_TRUE(console.WaitForTraps(3));
    EXPECT_EQ(console.view.trapNewUnits, 1);
    ASSERT_EQ(console.document.Terminals().Count(), 1u);
    EXPECT_EQ(console.document.Terminals().First()->record.m_name, "ALPHA");
    ASSERT_TRUE(RunSnmptrap(SnmptrapV1(console.trapPort, "127.0.0.22", 1, 0)));
    ASSERT_TRUE(console.WaitForTraps(4));
    EXPECT_EQ(console.view.trapNewUnits, 2);
    EXPECT_TRUE(console.document.Terminals().FindByIP("127.0.0.22").has_value());
}

// Junk is dropped and listening goes on. Cold starts whose agent address is
// empty, short or all zero get one line and no GET: once they were taken for
// 0.0.0.0, 127.0.0.0 and 10.1.2.0, asked for their names and registered. A
// sender's name cannot forge lines.
TEST(TrapListener, MalformedDatagramsAreDroppedAndTrapsThatNameNoSenderGetOneLine) {
    FakeSnmpManager snmp;
    const std::string forged =
        "\r\n" + kTrapSeparatorLine + "\n ***** 01/01/2030 00:00:00 *****\n\nX";
    AddFakeTerminal(snmp, {.ip = "127.0.0.21", .name = "EVIL\x1b[8m" + forged});
    ListeningConsole console(DefaultSettingsWith("DisplayProduct=0\n"), &snmp);
    ASSERT_TRUE(console.Listening());
    const unsigned port = console.trapPort;

    EXPECT_TRUE(SendDatagram({}, port));
    EXPECT_TRUE(SendDatagram({0x01, 0x02, 0x03}, port));
    // A version 1 message whose lengths run past the datagram's end.
    EXPECT_TRUE(SendDatagram({0x30, 0x82, 0x7f, 0xff, 0x02, 0x01, 0x00, 0x04, 0x06, 'p', 'u',
                              'b',  'l',  'i',  'c',  0xa4, 0x84, 0x7f, 0xff, 0xff, 0xff},
                             port));
    // Nearly the largest datagram there is, all of it one huge sequence.
    std::vector<std::uint8_t> huge(65000, 0x30);
    huge[1] = 0x84;
    EXPECT_TRUE(SendDatagram(huge, port));
    // Well-formed messages that are no trap the listener can take: a negative
    // generic number, a version 2c trap without its trap OID, one whose trap
    // number does not fit an integer, and a GET request.
    EXPECT_TRUE(SendTrap(port, "127.0.0.21", -1, 0));
    const std::string to = "127.0.0.1:" + std::to_string(port);
    if (std::string snmptrap = FindProgram("snmptrap"); !snmptrap.empty()) {
        RunCommand({snmptrap, "-v2c", "-c", "public", to, "", ".1.3.6.1.4.1.32473.0.4294967295"});
        RunCommand({FindProgram("snmpget"), "-v2c", "-c", "public", "-t", "0.1", "-r", "0", to,
                    ".1.3.6.1.2.1.1.5.0"});
    }
    for (const std::vector<std::uint8_t>& address :
         std::vector<std::vector<std::uint8_t>>{{}, {127, 0}, {10, 1, 2}, {0, 0, 0, 0}}) {
        ASSERT_TRUE(SendDatagram(
            RawV1Trap{.agentAddress = address, .generic = 0, .specific = 0}.Encode(), port));
    }
    ASSERT_TRUE(SendTrap(port, "127.0.0.21", 6, 5));
    ASSERT_TRUE(console.WaitForTraps(5));
    auto lines = console.log.Lines();
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.begin() + 5),
              std::vector<std::string>(4, "IPAddress.length != 4"));
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 8, lines.end()),
              Lines({"EVIL\\x1b[8m\\r\\n" + kTrapSeparatorLine +
                         "\\n ***** 01/01/2030 00:00:00 *****\\n\\nX : 127.0.0.21",
                     "SNMP Initiated Up/Download Request Done"}));
    EXPECT_EQ(snmp.Requests().size(), 1u);
    EXPECT_TRUE(console.document.Terminals().Empty());
    EXPECT_EQ(console.listener->ExitCode(), 0);
    EXPECT_FALSE(console.listener->Ended().IsSet());
}

TEST(TrapListener, Version2cTrapsAndInformsAreMappedToGenericAndSpecificNumbers) {
    std::string snmptrap = FindProgram("snmptrap"), snmpinform = FindProgram("snmpinform");
    if (snmptrap.empty() || snmpinform.empty()) {
        SKIP_FOR_MISSING_PEER("snmptrap or snmpinform missing");
    }
    FakeSnmpManager snmp;
    AddFakeTerminal(snmp, {.ip = "127.0.0.1", .name = "LOOP"});
    ListeningConsole console(DefaultSettingsWith("DisplayProduct=0\n"), &snmp);
    ASSERT_TRUE(console.Listening());
    const std::string e = ".1.3.6.1.4.1.32473.5.";
    const std::string to = "127.0.0.1:" + std::to_string(console.trapPort);
    auto send = [&](std::vector<std::string> trap) {
        trap.insert(trap.begin(), {snmptrap, "-v2c", "-c", "any", to, ""});
        return RunSnmptrap(trap);
    };
    // linkUp, then the terminals' specific trap 6 in both enterprise forms (the
    // Counter64 binding is passed over); coldStart registers the sender at the
    // packet's source address; an inform is answered, or snmpinform would fail.
    ASSERT_TRUE(send({".1.3.6.1.6.3.1.1.5.4"}));
    ASSERT_TRUE(
        send({".1.3.6.1.4.1.32473.0.6", e + "1", "C", "7", e + "2", "s", "x", e + "3", "i", "9"}));
    ASSERT_TRUE(send({".1.3.6.1.4.1.32473.7", e + "1", "i", "2"}));
    ASSERT_TRUE(send({".1.3.6.1.6.3.1.1.5.1"}));
    ASSERT_TRUE(console.WaitForTraps(4));
    ASSERT_TRUE(RunSnmptrap(
        {snmpinform, "-v2c", "-c", "any", "-t", "1", "-r", "1", to, "", ".1.3.6.1.4.1.32473.0.5"}));
    ASSERT_TRUE(console.WaitForTraps(5));
    std::vector<std::vector<std::string>> blocks;
    for (const auto& block : console.Blocks()) {
        blocks.push_back(block.lines);
    }
    const std::string loop = "LOOP : 127.0.0.1";
    EXPECT_EQ(blocks, (std::vector<std::vector<std::string>>{
                          {loop, "Link Up"},
                          {loop, "SNMP Initiated Up/Download Request Not Completed",
                           "Missing Server Or Cannot Connect To Server"},
                          {loop, "SNMP Initiated Reboot Request Not Completed",
                           "Not Ready To Process This Request"},
                          {loop, "Cold Start"},
                          {loop, "SNMP Initiated Up/Download Request Done"}}));
    EXPECT_EQ(console.view.trapNewUnits, 1);
}

// A trap service that hands over what the test queued, and reports the losses
// it was given; for what no trap over our IPv4 port can carry.
class QueuedTrapService final : public ITrapService {
public:
    explicit QueuedTrapService(std::vector<SnmpTrap> traps, TrapLosses losses = {})
        : m_traps(traps.begin(), traps.end()), m_losses(losses) {}
    bool TrapListen(unsigned /*port*/, TrapListenFailure& /*failure*/) override {
        m_event.Set();
        return true;
    }
    ManualResetEvent& TrapEvent() override { return m_event; }
    std::optional<SnmpTrap> GetTrap() override {
        std::lock_guard lock(m_mutex);
        if (m_traps.empty()) {
            return std::nullopt;
        }
        SnmpTrap trap = m_traps.front();
        m_traps.pop_front();
        return trap;
    }
    TrapLosses TakeLosses() override {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_losses, TrapLosses{});
    }

private:
    std::mutex m_mutex;
    std::deque<SnmpTrap> m_traps;
    TrapLosses m_losses;
    ManualResetEvent m_event;
};

// A port another socket holds, a service that already listens, a port
// setting out of range: the listener ends at once with its lines.
TEST(TrapListener, ListenFailuresEndTheListenerWithTheirLines) {
    const std::string held = std::to_string(FreeUdpPort());
    int holder = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(std::stoul(held)));
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    struct Case {
        std::string port;     // TrapPort of section Misc
        std::string service;  // "net", "listening" (already) or "queued" (no network)
    };
    for (const Case& c : {Case{held, "net"}, Case{std::to_string(FreeUdpPort()), "listening"},
                          Case{"99999", "queued"}, Case{"-162", "queued"}}) {
        SCOPED_TRACE(c.port);
        TestDocument t("[Misc]\nTrapPort=" + c.port + "\n");
        std::unique_ptr<ITrapService> service = MakeNetTrapService();
        TrapListenFailure failure;
        std::vector<std::string> expected = {
            "SnmpMgrListen Function Unknown Error",
            "The setting TrapPort=" + c.port + " in section Misc of the settings file " +
                t.SettingsPath() + " is not a port number from 1 to 65535; it is not used"};
        if (c.service == "listening") {
            ASSERT_TRUE(service->TrapListen(std::stoul(c.port), failure));
            expected = {"Indicates that this function has already been called"};
        } else if (c.service == "queued") {
            service = std::make_unique<QueuedTrapService>(std::vector<SnmpTrap>{});
        } else {
            expected[1] = "Traps cannot be received on UDP port " + held +
                          ": Address already in use (another program, perhaps a trap daemon, "
                          "holds the port)";
        }
        RecordingTrapLog log;
        TrapListener listener(t.Doc(), log, nullptr, std::move(service));
        listener.Start();
        ASSERT_TRUE(listener.Ended().WaitFor(std::chrono::seconds(10)));
        EXPECT_EQ(listener.ExitCode(), 1);
        EXPECT_EQ(log.Lines(), expected);
    }
    ::close(holder);
}

// An address that does not answer, whose requests are held until released (or
// their worker is stopped), then time out.
class HeldAgent {
public:
    HeldAgent(FakeSnmpManager& snmp, std::string address) {
        snmp.silentAgents.insert(address);
        snmp.beforeAnswer = [this, address](const FakeSnmpManager::Request& request) {
            if (request.agent == address) {
                std::unique_lock lock(m_mutex);
                ++m_held;
                m_changed.notify_all();
                m_changed.wait(lock, request.stop, [this] { return m_released; });
            }
        };
    }
    void Release() {
        {
            std::lock_guard lock(m_mutex);
            m_released = true;
        }
        m_changed.notify_all();
    }
    bool WaitUntilHeld() {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_held > 0; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    int m_held = 0;
    bool m_released = false;
};

TEST(TrapListener, ASenderThatDoesNotAnswerKeepsItsOrderAndTheOthersGoOn) {
    FakeSnmpManager snmp;
    AddFakeTerminal(snmp, {.ip = "127.0.0.21", .name = "ALPHA"});
    HeldAgent held(snmp, "127.0.0.99");
    ListeningConsole console(DefaultSettingsWith("DisplayProduct=0\n"), &snmp);
    ASSERT_TRUE(console.Listening());
    console.document.State().Upload().Await("127.0.0.99");

    ASSERT_TRUE(SendTrap(console.trapPort, "127.0.0.99", 6, 5));
    ASSERT_TRUE(held.WaitUntilHeld());
    const int kOthers = 20;
    for (int i = 0; i < kOthers; ++i) {
        ASSERT_TRUE(SendTrap(console.trapPort, "127.0.0.21", 6, 1000 + i));
        if (i == kOthers / 2) {
            ASSERT_TRUE(SendTrap(console.trapPort, "127.0.0.99", 6, 6, {0L, 9L}));
        }
    }
    ASSERT_TRUE(SendTrap(console.trapPort, "127.0.0.21", 0, 0));
    ASSERT_TRUE(SendTrap(console.trapPort, "127.0.0.99", 2, 0));
    // The others, a registration among them, while the first name request waits.
    ASSERT_TRUE(console.WaitForTraps(kOthers + 1));
    EXPECT_EQ(console.view.trapNewUnits, 1);
    EXPECT_TRUE(console.document.Terminals().FindByIP("127.0.0.21").has_value());
    // The first trap from the awaited terminal decided its upload at once.
    EXPECT_EQ(console.document.State().Upload().Wait(std::chrono::milliseconds(0), {}),
              UploadResult::Done);
    auto blocks = console.Blocks();
    ASSERT_EQ(blocks.size(), static_cast<std::size_t>(kOthers + 1));
    for (int i = 0; i < kOthers; ++i) {
        EXPECT_EQ(blocks[i].lines[1], "Unknown Trap generic=6 private=" + std::to_string(1000 + i));
    }

    held.Release();
    ASSERT_TRUE(console.WaitForTraps(kOthers + 4));
    blocks = console.Blocks();
    const std::string silent = "Terminal Not Available - Offline or Rebooting : 127.0.0.99";
    EXPECT_EQ(blocks[kOthers + 1].lines,
              Lines({silent, "SNMP Initiated Up/Download Request Done"}));
    EXPECT_EQ(blocks[kOthers + 2].lines,
              Lines({silent, "SNMP Initiated Up/Download Request Not Completed",
                     "Missing Server Or Cannot Connect To Server"}));
    EXPECT_EQ(blocks[kOthers + 3].lines, Lines({silent, "Link Down"}));
}

TEST(TrapListener, LossesAreReportedInOneLinePerEpisode) {
    FakeSnmpManager snmp;
    AddFakeTerminal(snmp, {.ip = "127.0.0.21", .name = "ALPHA"});
    std::vector<std::string> lossLines;
    {
        ListeningConsole console(DefaultSettingsWith(), &snmp);
        ASSERT_TRUE(console.Listening());
        ::testing::internal::CaptureStderr();
        // Two bursts of junk half a second apart, one of them a PDU type that
        // does not exist, which the library once reported on standard error.
        const std::vector<std::uint8_t> badType = {0x30, 0x0e, 0x02, 0x01, 0x00, 0x04, 0x06, 'p',
                                                   'u',  'b',  'l',  'i',  'c',  0xa9, 0x01, 0x00};
        for (int burst = 0; burst < 2; ++burst) {
            for (int i = 0; i < 20; ++i) {
                ASSERT_TRUE(SendDatagram(i % 2 ? badType : std::vector<std::uint8_t>{0x01},
                                         console.trapPort));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
        const std::string unreadable =
            "Traps Lost: 40 Unreadable Datagram(s), Not A Trap The Console Can Read";
        ASSERT_TRUE(console.log.WaitForLine(unreadable, std::chrono::seconds(10)));
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        for (const auto& line : console.log.Lines()) {
            if (line.rfind("Traps Lost:", 0) == 0) {
                lossLines.push_back(line);
            }
        }
        EXPECT_EQ(lossLines, Lines({unreadable}));
        EXPECT_TRUE(console.Blocks().size() == 1);
    }
    // Drops, by their two reasons.
    ListeningConsole console(
        DefaultSettingsWith(), &snmp,
        std::make_unique<QueuedTrapService>(std::vector<SnmpTrap>{},
                                            TrapLosses{.dropped = 7, .droppedForSender = 3}));
    ASSERT_TRUE(console.log.WaitForLine(
        "Traps Lost: 7 Trap(s) Dropped, Too Many Waiting To Be Logged; 3 Trap(s) Dropped, Too "
        "Many Waiting For A Sender That Does Not Answer",
        std::chrono::seconds(10)));
}

TEST(TrapListener, ASenderThatDoesNotAnswerHasOnlyItsShareOfTheWaitingRoom) {
    FakeSnmpManager snmp;
    AddFakeTerminal(snmp, {.ip = "127.0.0.21", .name = "ALPHA"});
    HeldAgent held(snmp, "127.0.0.99");
    TestDocument t(DefaultSettingsWith(), &snmp);
    RecordingTrapLog log;
    SnmpTrap silent{.agentAddress = {127, 0, 0, 99}, .generic = 6, .specific = 5};
    std::vector<SnmpTrap> traps(10, silent);
    traps.push_back({.agentAddress = {127, 0, 0, 21}, .generic = 3, .specific = 0});
    // A block's header tells when its trap arrived, not when it was written.
    std::tm arrival{.tm_sec = 6, .tm_min = 5, .tm_hour = 4, .tm_mday = 3, .tm_mon = 1};
    arrival.tm_year = 101;
    arrival.tm_isdst = -1;
    traps.back().received = std::chrono::system_clock::from_time_t(std::mktime(&arrival));
    TrapListener listener(t.Doc(), log, nullptr, std::make_unique<QueuedTrapService>(traps));
    // Room for three of its traps, the one in hand among them.
    listener.SetLaneLimits({.senderBytes = 3 * TrapFootprint(silent)});
    listener.Start();
    ASSERT_TRUE(log.WaitForLine(
        "Traps Lost: 7 Trap(s) Dropped, Too Many Waiting For A Sender That Does Not Answer",
        std::chrono::seconds(10)));
    EXPECT_EQ(listener.TrapsHandled(), 1u);
    EXPECT_TRUE(log.WaitForLine(" ***** 02/03/2001 04:05:06 *****"));
    held.Release();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (listener.TrapsHandled() < 4 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(listener.TrapsHandled(), 4u);
}

TEST(TrapListener, AStopRequestIsSeenBetweenTrapsOfASteadyStream) {
    FakeSnmpManager snmp;
    AddFakeTerminal(snmp, {.ip = "127.0.0.21", .name = "ALPHA"});
    ListeningConsole console(DefaultSettingsWith(), &snmp);
    ASSERT_TRUE(console.Listening());
    std::atomic<bool> streaming{true};
    std::atomic<bool> stopped{false};
    std::jthread stream([&] {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!stopped && std::chrono::steady_clock::now() < until) {
            SendTrap(console.trapPort, "127.0.0.21", 6, 5);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        streaming = false;
    });
    ASSERT_TRUE(console.WaitForTraps(50));
    console.listener->Stop();
    // The stream still runs: the stop did not wait for a quiet moment.
    EXPECT_TRUE(streaming);
    stopped = true;
    EXPECT_EQ(console.listener->ExitCode(), 2);
}

// What the trap service makes of each datagram: a trap that holds only what
// decoding reads, within the queue's budget of bytes, or a counted loss.
void Feed(TrapIntake& intake, const std::vector<std::uint8_t>& datagram) {
    sockaddr_in from{.sin_family = AF_INET};
    from.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    intake.Receive(datagram.data(), datagram.size(), from);
}

TEST(TrapIntake, AHugeTrapKeepsOnlyTheBindingsDecodingReads) {
    struct Row {
        int generic, specific;
        std::size_t kept;
    };
    // 9,277 tiny bindings after two INTEGERs: a 65 KB datagram.
    for (const Row& row : {Row{6, 6, 2}, Row{6, 3, 7}, Row{6, 7, 1}, Row{6, 5, 0}, Row{0, 0, 0}}) {
        RawV1Trap raw{.generic = row.generic, .specific = row.specific, .bindings = {4L, 9L}};
        raw.tinyBindings = 9277;
        std::vector<std::uint8_t> datagram = raw.Encode();
        ASSERT_GT(datagram.size(), 65000u);
        TrapIntake intake;
        Feed(intake, datagram);
        auto trap = intake.Take();
        ASSERT_TRUE(trap) << row.specific;
        EXPECT_EQ(trap->bindings.size(), row.kept) << row.specific;
        EXPECT_LT(TrapFootprint(*trap), 1024u);
        if (row.kept >= 2) {
            EXPECT_EQ(LoadResString(TrapReasonText(trap->bindings, 1)),
                      "Missing Server Or Cannot Connect To Server");
        }
    }
}

TEST(TrapIntake, TheQueueHoldsItsBudgetOfBytesAndCountsWhatItDrops) {
    std::vector<std::uint8_t> datagram = RawV1Trap{.specific = 6, .bindings = {1L, 2L}}.Encode();
    TrapIntake probe;
    Feed(probe, datagram);
    std::size_t each = probe.QueuedBytes();
    ASSERT_GT(each, 0u);

    TrapIntake intake(10 * each);
    for (int i = 0; i < 50; ++i) {
        Feed(intake, datagram);
    }
    EXPECT_EQ(intake.QueuedBytes(), 10 * each);
    EXPECT_EQ(intake.TakeLosses().dropped, 40u);
    EXPECT_EQ(intake.TakeLosses().dropped, 0u);
    int taken = 0;
    while (intake.Take()) {
        ++taken;
    }
    EXPECT_EQ(taken, 10);
    EXPECT_EQ(intake.QueuedBytes(), 0u);
    // Room again once the listener has taken them.
    Feed(intake, datagram);
    EXPECT_TRUE(intake.Take().has_value());
}

using namespace std::chrono_literals;

// The upload waits for the listener's check on another thread: the first trap
// of the awaited terminal decides the wait (any trap but the outcome one is a
// failure), another's leaves it; a stop (no sender) or the deadline ends it
// otherwise.
TEST(UploadOutcome, TheAwaitedTerminalsTrapOrAStopDecidesTheWait) {
    struct Case {
        const char* sender;
        int generic, specific;
        UploadResult expected;
    } cases[] = {{"10.0.0.7", 6, 5, UploadResult::Done},
                 {"10.0.0.7", 6, 6, UploadResult::Failed},
                 {"10.0.0.7", 0, 3, UploadResult::Failed},
                 {"10.0.0.8", 6, 5, UploadResult::TimedOut},
                 {"", 6, 5, UploadResult::Stopped}};
    for (const Case& c : cases) {
        UploadOutcome upload;
        upload.Await("10.0.0.7");
        std::stop_source stop;
        const bool stops = *c.sender == '\0';
        std::jthread listener([&] {
            std::this_thread::sleep_for(20ms);
            stops ? (void)stop.request_stop() : upload.Check(c.sender, c.generic, c.specific);
        });
        EXPECT_EQ(upload.Wait(stops ? 60s : 400ms, stop.get_token()), c.expected) << c.sender;
        upload.Check(c.sender, 6, 5);  // too late to count
        EXPECT_EQ(upload.Wait(0ms, stop.get_token()), c.expected);
        upload.StopAwaiting();
    }
}

// The listener thread and the trap service's receiving thread beside the other
// users of the terminal database, the upload state and net-snmp.
TEST(TrapConcurrency, ColdStartsRegisterWhileTheDatabaseIsRefreshedAndCleared) {
    FakeSnmpManager snmp;
    const int kTerminals = 10;
    for (int i = 1; i <= kTerminals; ++i) {
        char mac[13];
        std::snprintf(mac, sizeof(mac), "0080641201%02X", i);
        AddFakeTerminal(
            snmp,
            {.ip = "127.0.2." + std::to_string(i), .name = "T" + std::to_string(i), .mac = mac});
    }
    ListeningConsole console(DefaultSettingsWith(), &snmp);
    ASSERT_TRUE(console.Listening());
    SnmpdAgent agent;

    const int kTraps = 300;
    std::atomic<bool> sending{true};
    std::jthread sender([&] {
        for (int i = 0; i < kTraps; ++i) {
            SendTrap(console.trapPort, "127.0.2." + std::to_string(1 + i % kTerminals),
                     i % 3 == 2 ? 6 : 0, i % 3 == 2 ? 5 : 0);
            if (i % 20 == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }
        sending = false;
    });
    std::jthread upload([&] {
        while (sending) {
            console.document.State().Upload().Await("127.0.2.3");
            std::this_thread::yield();
            console.document.State().Upload().StopAwaiting();
        }
    });
    // Requests of our own through net-snmp while the service parses traps.
    std::jthread requests([&] {
        if (!agent.Ready()) {
            return;
        }
        while (sending) {
            unsigned long code = 0;
            auto session =
                NetSnmpManager().Open({"127.0.0.1", agent.Port(), "public", 500, 0}, code);
            SnmpVarBindList bindings(1);
            ParseOidText(".1.3.6.1.2.1.1.5.0", bindings[0].name);
            if (session) {
                session->Request(SnmpPduType::Get, bindings);
            }
            NetSnmpManager().Close(std::move(session));
        }
    });
    while (sending) {
        RefreshAndValidateTerminals(console.document.Doc());
        console.document.Terminals().Clear();
    }
    ASSERT_TRUE(console.WaitForTraps(kTraps, std::chrono::seconds(60)));
    console.listener->Stop();
    EXPECT_EQ(console.Blocks().size(), static_cast<std::size_t>(kTraps));
    EXPECT_GE(console.view.trapNewUnits, 1);
}

}  // namespace
