#include "Fleet.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "Net.h"
#include "RegistryText.h"

namespace simfleet {

namespace {

constexpr char kMagic[] = "KorvroK";
constexpr std::size_t kMagicLength = 7;
constexpr std::size_t kMaxDatagram = 65536;
// The reason of a transfer's outcome trap sits in its second binding, under
// this suffix of the terminal's enterprise prefix.
const Oid kReasonSuffix = {5, 1, 0};
constexpr auto kRebootTime = std::chrono::milliseconds(500);

// Signals and finished transfers wake the loop through this pipe.
int g_wake[2] = {-1, -1};
volatile sig_atomic_t g_stopRequested = 0;

void OnSignal(int) {
    g_stopRequested = 1;
    char byte = 's';
    [[maybe_unused]] ssize_t n = ::write(g_wake[1], &byte, 1);
}

const char* CommandName(int command) {
    switch (command) {
        case pdu::kGet:
            return "GET";
        case pdu::kGetNext:
            return "GETNEXT";
        case pdu::kSet:
            return "SET";
        case pdu::kTrap:
            return "TRAP";
        case pdu::kResponse:
            return "RESPONSE";
        default:
            return "PDU";
    }
}

const char* StatusName(int errorStatus) {
    static const char* const names[] = {"noError",  "tooBig",   "noSuchName",
                                        "badValue", "readOnly", "genErr"};
    return errorStatus >= 0 && errorStatus <= 5 ? names[errorStatus] : "error";
}

std::string Now() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// The build number after a firmware update that did not name one: the last
// number in the old one, plus one.
std::string NextBuild(const std::string& build) {
    std::size_t end = build.find_last_of("0123456789");
    if (end == std::string::npos) {
        return build + ".1";
    }
    std::size_t begin = build.find_last_not_of("0123456789", end);
    begin = begin == std::string::npos ? 0 : begin + 1;
    unsigned long long number =
        std::strtoull(build.substr(begin, end - begin + 1).c_str(), nullptr, 10);
    return build.substr(0, begin) + std::to_string(number + 1) + build.substr(end + 1);
}

std::string Describe(const TerminalMib& mib, const std::vector<VarBind>& bindings,
                     bool withValues) {
    std::string text;
    for (const auto& bind : bindings) {
        if (!text.empty()) {
            text += ", ";
        }
        text += FormatOid(bind.oid);
        std::string name = mib.NameAt(bind.oid);
        if (!name.empty()) {
            text += " (" + name + ")";
        }
        if (withValues) {
            // A password never reaches the log.
            text += " = " +
                    (name == "EntOidXferPassWord" ? std::string("(hidden)") : bind.value.Display());
        }
    }
    return text;
}

}  // namespace

Fleet::Fleet(const ObjectLayout& layout, const std::vector<TerminalSetup>& setups,
             const FleetOptions& options)
    : m_options(options), m_state(options.stateDir), m_buffer(kMaxDatagram) {
    for (const auto& setup : setups) {
        Terminal terminal;
        terminal.setup = setup;
        if (terminal.setup.trapServer.empty()) {
            terminal.setup.trapServer = options.trapDest;
        }
        std::string ignored;
        layout.FindProduct(setup.model, terminal.product, ignored);
        terminal.mib = std::make_unique<TerminalMib>(terminal.setup, terminal.product, layout);
        terminal.readCommunity =
            setup.readCommunity.empty() ? layout.GetCommunity() : setup.readCommunity;
        terminal.writeCommunity =
            setup.writeCommunity.empty() ? layout.SetCommunity() : setup.writeCommunity;
        terminal.configName =
            setup.configFileName.empty() ? layout.RegFileName() : setup.configFileName;
        if (terminal.setup.config.empty()) {
            terminal.setup.config = DefaultRegistryConfig(setup, terminal.product.older);
        }
        terminal.files[terminal.configName] = terminal.setup.config;
        m_terminals.push_back(std::move(terminal));
    }
}

Fleet::~Fleet() {
    m_stopping = true;
    m_workers.clear();  // joins every transfer thread
    for (auto& terminal : m_terminals) {
        if (terminal.fd >= 0) {
            ::close(terminal.fd);
        }
    }
    if (m_broadcastFd >= 0) {
        ::close(m_broadcastFd);
    }
}

bool Fleet::Open(std::string& error) {
    for (auto& terminal : m_terminals) {
        terminal.fd = BindUdp(terminal.setup.address, m_options.snmpPort, error);
        if (terminal.fd < 0) {
            bool foreign = error.find(std::strerror(EADDRNOTAVAIL)) != std::string::npos;
            error = "terminal " + terminal.setup.label + ": " + error +
                    (foreign ? " (terminal addresses must be on this machine, such as "
                               "127.x.y.z, or in the network namespace the fleet runs in)"
                             : "");
            return false;
        }
    }
    if (m_state.Enabled()) {
        if (!m_state.Prepare(error)) {
            error = "--state-dir: " + error;
            return false;
        }
        for (const auto& terminal : m_terminals) {
            for (const auto& [name, content] : terminal.files) {
                if (!m_state.Keep(terminal.setup.address, name, content, error)) {
                    error = "terminal " + terminal.setup.label + ": " + error;
                    return false;
                }
            }
        }
    }
    if (m_options.broadcast) {
        in_addr any{};
        any.s_addr = htonl(INADDR_ANY);
        m_broadcastFd = BindUdp(any, m_options.broadcastPort, error);
        if (m_broadcastFd < 0) {
            error +=
                " (the broadcast responder; choose another --broadcast-port or use "
                "--no-broadcast)";
            return false;
        }
        int on = 1;
        ::setsockopt(m_broadcastFd, IPPROTO_IP, IP_PKTINFO, &on, sizeof(on));
        ::setsockopt(m_broadcastFd, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on));
    }
    return true;
}

void Fleet::After(Clock::duration delay, std::function<void()> action) {
    m_timers.emplace(Clock::now() + delay, std::move(action));
}

void Fleet::Log(const std::string& line) {
    if (m_options.verbose) {
        std::fprintf(stdout, "%s\n", line.c_str());
    }
}

void Fleet::Log(const Terminal& terminal, const std::string& line) {
    if (m_options.verbose) {
        std::fprintf(stdout, "%s %s\n", FormatIpv4(terminal.setup.address).c_str(), line.c_str());
    }
}

int Fleet::Run() {
    if (::pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("pipe");
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    for (std::size_t i = 0; i < m_terminals.size(); ++i) {
        const auto& behaviours = m_terminals[i].setup.behaviours;
        if (behaviours.renameAfterMs >= 0) {
            After(std::chrono::milliseconds(behaviours.renameAfterMs), [this, i] {
                Terminal& terminal = m_terminals[i];
                std::string name = terminal.setup.behaviours.renameTo.empty()
                                       ? terminal.setup.name + "-RENAMED"
                                       : terminal.setup.behaviours.renameTo;
                terminal.mib->Put("OidSysName", Value::Text(name));
                Log(terminal, "renamed itself to \"" + name + "\"");
            });
        }
    }
    if (m_options.coldStart) {
        After(std::chrono::duration_cast<Clock::duration>(
                  std::chrono::duration<double>(m_options.coldStartDelay)),
              [this] {
                  for (std::size_t i = 0; i < m_terminals.size(); ++i) {
                      if (!m_terminals[i].setup.behaviours.silent) {
                          SendTrap(i, 0, 0, {});
                      }
                  }
              });
    }

    unsigned live = 0;
    for (const auto& terminal : m_terminals) {
        live += terminal.setup.behaviours.silent ? 0 : 1;
    }
    std::string broadcast = m_options.broadcast
                                ? "broadcast port " + std::to_string(m_options.broadcastPort)
                                : "no broadcast responder";
    std::printf(
        "fleetwarden-simfleet: %zu terminals ready (%u answering), SNMP port %u, %s, "
        "trap port %u, FTP port %u\n",
        m_terminals.size(), live, m_options.snmpPort, broadcast.c_str(), m_options.trapPort,
        m_options.ftpPort);
    std::fflush(stdout);

    std::vector<pollfd> fds;
    fds.push_back({g_wake[0], POLLIN, 0});
    std::size_t firstTerminal = 1;
    if (m_broadcastFd >= 0) {
        fds.push_back({m_broadcastFd, POLLIN, 0});
        firstTerminal = 2;
    }
    for (const auto& terminal : m_terminals) {
        fds.push_back({terminal.fd, POLLIN, 0});
    }

    while (!g_stopRequested) {
        int timeout = -1;
        if (!m_timers.empty()) {
            auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                m_timers.begin()->first - Clock::now());
            timeout = static_cast<int>(std::max<long long>(0, wait.count() + 1));
        }
        int ready = ::poll(fds.data(), fds.size(), timeout);
        if (ready < 0 && errno != EINTR) {
            std::perror("poll");
            return 1;
        }
        while (!m_timers.empty() && m_timers.begin()->first <= Clock::now()) {
            auto due = std::move(m_timers.begin()->second);
            m_timers.erase(m_timers.begin());
            due();
        }
        if (ready <= 0) {
            continue;
        }
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(g_wake[0], drain, sizeof(drain)) > 0) {
            }
            CollectTransfers();
        }
        if (m_broadcastFd >= 0 && (fds[1].revents & POLLIN)) {
            ReceiveBroadcast();
        }
        for (std::size_t i = 0; i < m_terminals.size(); ++i) {
            if (fds[firstTerminal + i].revents & POLLIN) {
                ReceiveSnmp(i);
            }
        }
    }
    m_stopping = true;
    m_workers.clear();
    std::printf("fleetwarden-simfleet: stopped\n");
    std::fflush(stdout);
    return 0;
}

void Fleet::ReceiveSnmp(std::size_t index) {
    Terminal& terminal = m_terminals[index];
    sockaddr_in from{};
    socklen_t fromLength = sizeof(from);
    ssize_t n = ::recvfrom(terminal.fd, m_buffer.data(), m_buffer.size(), MSG_DONTWAIT,
                           reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0) {
        return;
    }
    Datagram datagram{std::string(m_buffer.data(), static_cast<std::size_t>(n)), from.sin_addr,
                      ntohs(from.sin_port)};
    std::string sender = Endpoint(datagram.from, datagram.port);
    const Behaviours& behaviours = terminal.setup.behaviours;
    if (behaviours.silent) {
        Log(terminal, "request from " + sender + " dropped: silent terminal");
        return;
    }
    if (behaviours.everyOther && terminal.requests++ % 2 == 1) {
        Log(terminal, "request from " + sender + " dropped: answers every other request");
        return;
    }
    if (behaviours.delayMs > 0) {
        After(std::chrono::milliseconds(behaviours.delayMs),
              [this, index, datagram] { AnswerSnmp(index, datagram); });
        return;
    }
    AnswerSnmp(index, datagram);
}

void Fleet::AnswerSnmp(std::size_t index, const Datagram& datagram) {
    Terminal& terminal = m_terminals[index];
    std::string sender = Endpoint(datagram.from, datagram.port);
    auto request = DecodeRequest(reinterpret_cast<const unsigned char*>(datagram.data.data()),
                                 datagram.data.size());
    if (!request) {
        Log(terminal, "datagram from " + sender + " dropped: not an SNMP version 1 message");
        return;
    }
    const char* command = CommandName(request->command);
    bool reading = request->command == pdu::kGet || request->command == pdu::kGetNext;
    bool writing = request->command == pdu::kSet;
    // The write community may read too: the console reads each object's type
    // with it before a SET.
    bool allowed = (reading && (request->community == terminal.readCommunity ||
                                request->community == terminal.writeCommunity)) ||
                   (writing && request->community == terminal.writeCommunity);
    if (!reading && !writing) {
        Log(terminal, std::string(command) + " from " + sender + " dropped: not a request");
        return;
    }
    if (!allowed) {
        Log(terminal, std::string(command) + " from " + sender + " dropped: wrong community \"" +
                          request->community + "\"");
        return;
    }
    Answer answer;
    std::vector<std::string> changed;
    if (request->command == pdu::kGet) {
        answer = terminal.mib->Get(request->bindings);
    } else if (request->command == pdu::kGetNext) {
        answer = terminal.mib->GetNext(request->bindings);
    } else if (int refused = terminal.setup.behaviours.refuseSets
                                 ? 1
                                 : RefusedBinding(terminal, request->bindings)) {
        answer.bindings = request->bindings;
        answer.errorStatus = status::kReadOnly;
        answer.errorIndex = refused;
    } else {
        answer = terminal.mib->Set(request->bindings, changed);
    }
    std::string datagramOut = EncodeResponse(*request, answer);
    if (datagramOut.empty()) {
        Answer tooBig;
        tooBig.errorStatus = status::kTooBig;
        datagramOut = EncodeResponse(*request, tooBig);
    }
    SendDatagram(terminal.fd, datagram.from, datagram.port, datagramOut);
    std::string line = std::string(command) + " from " + sender + ": ";
    if (answer.errorStatus == status::kNoError) {
        line += Describe(*terminal.mib, answer.bindings, true);
    } else {
        line += Describe(*terminal.mib, request->bindings, writing) + " -> " +
                StatusName(answer.errorStatus) + " (index " + std::to_string(answer.errorIndex) +
                ")";
    }
    Log(terminal, line);
    for (const auto& name : changed) {
        Changed(index, name);
    }
}

int Fleet::RefusedBinding(const Terminal& terminal, const std::vector<VarBind>& bindings) const {
    const auto& refused = terminal.setup.behaviours.refuseSetsOf;
    for (std::size_t i = 0; i < bindings.size(); ++i) {
        std::string name = terminal.mib->NameAt(bindings[i].oid);
        for (const auto& candidate : refused) {
            if (!name.empty() && EqualsNoCase(name, candidate)) {
                return static_cast<int>(i + 1);
            }
        }
    }
    return 0;
}

void Fleet::KeepFile(std::size_t index, const std::string& name, const std::string& content) {
    Terminal& terminal = m_terminals[index];
    terminal.files[name] = content;
    std::string error;
    if (m_state.Enabled() && !m_state.Keep(terminal.setup.address, name, content, error)) {
        Log(terminal, "state directory: " + error);
    }
}

void Fleet::Changed(std::size_t index, const std::string& name) {
    Terminal& terminal = m_terminals[index];
    if (name == "EntOidXferSubmit" && terminal.mib->Integer(name) == 1) {
        StartTransfer(index);
    }
}

void Fleet::ReceiveBroadcast() {
    sockaddr_in from{};
    char control[256];
    iovec io{m_buffer.data(), m_buffer.size()};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof(from);
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof(control);
    ssize_t n = ::recvmsg(m_broadcastFd, &message, MSG_DONTWAIT);
    if (n < 0) {
        return;
    }
    std::string buffer(m_buffer.data(), static_cast<std::size_t>(n));
    in_addr to{};
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof(info));
            to = info.ipi_addr;
        }
    }
    std::string sender = Endpoint(from.sin_addr, ntohs(from.sin_port));
    if (buffer.size() < kMagicLength || buffer.compare(0, kMagicLength, kMagic) != 0) {
        Log("broadcast from " + sender + " to " + FormatIpv4(to) + " ignored: no magic text");
        return;
    }
    if (!IsLocalAddress(from.sin_addr)) {
        Log("broadcast from " + sender + " ignored: the sender is not on this machine");
        return;
    }
    Datagram datagram{std::move(buffer), from.sin_addr, ntohs(from.sin_port)};
    std::uint32_t target = ntohl(to.s_addr);
    for (std::size_t i = 0; i < m_terminals.size(); ++i) {
        const Terminal& terminal = m_terminals[i];
        std::uint32_t own = ntohl(terminal.setup.address.s_addr);
        // The limited broadcast reaches everyone; a ".255" address the
        // terminals whose first three parts it shares; any other address only
        // the terminal that has it.
        bool reached = target == 0xFFFFFFFFu ||
                       ((target & 0xFF) == 0xFF && (target >> 8) == (own >> 8)) || target == own;
        if (!reached) {
            continue;
        }
        if (terminal.setup.behaviours.silent) {
            Log(terminal, "broadcast from " + sender + " not answered: silent terminal");
            continue;
        }
        if (terminal.setup.behaviours.delayMs > 0) {
            After(std::chrono::milliseconds(terminal.setup.behaviours.delayMs),
                  [this, i, datagram, to] { ReplyToBroadcast(i, datagram, to); });
        } else {
            ReplyToBroadcast(i, datagram, to);
        }
    }
}

void Fleet::ReplyToBroadcast(std::size_t index, const Datagram& datagram, in_addr to) {
    const Terminal& terminal = m_terminals[index];
    std::string reply = terminal.setup.behaviours.wrongMagic ? "KorvroX" : kMagic;
    reply += '\0';
    reply += terminal.mib->Text("OidSysName");
    // Sent from the broadcast port with the terminal's own address as source.
    sockaddr_in dest{};
    dest.sin_family = AF_INET;
    dest.sin_addr = datagram.from;
    dest.sin_port = htons(static_cast<std::uint16_t>(datagram.port));
    iovec io{reply.data(), reply.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = &dest;
    message.msg_namelen = sizeof(dest);
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof(control);
    cmsghdr* c = CMSG_FIRSTHDR(&message);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst = terminal.setup.address;
    std::memcpy(CMSG_DATA(c), &info, sizeof(info));
    bool sent = ::sendmsg(m_broadcastFd, &message, 0) == static_cast<ssize_t>(reply.size());
    if (!sent) {
        // The terminal's own SNMP socket has the right source address too.
        sent = SendDatagram(terminal.fd, datagram.from, datagram.port, reply);
    }
    Log(terminal, "broadcast from " + Endpoint(datagram.from, datagram.port) + " to " +
                      FormatIpv4(to) + (sent ? " answered" : " could not be answered") +
                      (terminal.setup.behaviours.wrongMagic ? " with the wrong magic text" : ""));
}

void Fleet::StartTransfer(std::size_t index) {
    Terminal& terminal = m_terminals[index];
    const TerminalMib& mib = *terminal.mib;
    TransferRequest request;
    request.terminal = index;
    request.toTerminal = mib.Integer("EntOidXferDirection") == 1;
    request.binary = mib.Integer("EntOidXferType") == 0;
    request.source = mib.Text("EntOidXferSource");
    request.dest = mib.Text("EntOidXferDest");
    request.server = mib.Text("EntOidXferServer");
    request.port = m_options.ftpPort;
    request.user = mib.Text("EntOidXferUserName");
    request.password = mib.Text("EntOidXferPassWord");
    std::string what = std::string(request.toTerminal ? "fetch " : "send ") + request.source +
                       " -> " + request.dest + " via " + request.server +
                       (request.binary ? " (binary)" : " (ASCII)");
    auto refuse = [&](long code, const std::string& why) {
        Log(terminal, "transfer " + what + " refused: " + why);
        SendOutcomeTrap(index, code);
    };
    if (terminal.transferring) {
        refuse(reason::kNotReady, "a transfer is still running");
        return;
    }
    if (mib.Integer("EntOidXferProtocol") != 0) {
        refuse(reason::kProtocolNotSupported, "only protocol 0 (FTP) is supported");
        return;
    }
    if (request.server.empty()) {
        refuse(reason::kCannotConnect, "no server");
        return;
    }
    std::string fetched = BaseName(request.dest);
    if (request.toTerminal && (fetched == "." || fetched == "..")) {
        refuse(reason::kTransferError, "no file name to store the file under");
        return;
    }
    if (!request.toTerminal) {
        auto file = terminal.files.find(BaseName(request.source));
        if (file == terminal.files.end()) {
            refuse(reason::kSourceMissing, "the terminal has no file " + request.source);
            return;
        }
        request.upload = file->second;
    }
    Log(terminal, "transfer " + what + " started");
    terminal.transferring = true;
    m_workers.erase(index);  // the previous one has finished
    m_workers.emplace(index, std::jthread([this, request] {
                          TransferOutcome outcome = RunTransfer(request, m_stopping);
                          {
                              std::lock_guard lock(m_doneMutex);
                              m_done.push_back(std::move(outcome));
                          }
                          char byte = 'x';
                          [[maybe_unused]] ssize_t n = ::write(g_wake[1], &byte, 1);
                      }));
}

void Fleet::CollectTransfers() {
    std::vector<TransferOutcome> done;
    {
        std::lock_guard lock(m_doneMutex);
        done.swap(m_done);
    }
    for (const auto& outcome : done) {
        Finish(outcome);
    }
}

void Fleet::Finish(const TransferOutcome& outcome) {
    Terminal& terminal = m_terminals[outcome.terminal];
    TerminalMib& mib = *terminal.mib;
    terminal.transferring = false;
    mib.Put("EntOidXferSubmit", Value::Integer(0));
    bool fetched = outcome.toTerminal;
    bool reboot = false;
    long reasonCode = outcome.reason;
    if (outcome.reason == reason::kDone && outcome.firmware) {
        std::string old = mib.Text("EntOidBuildNum");
        std::string build = outcome.newBuild.empty() ? NextBuild(old) : outcome.newBuild;
        mib.Put("EntOidBuildNum", Value::Text(build));
        std::string description = mib.Text("OidSysDesc");
        std::size_t at = old.empty() ? std::string::npos : description.find(old);
        if (at != std::string::npos) {
            mib.Put("OidSysDesc", Value::Text(description.replace(at, old.size(), build)));
        }
        Log(terminal, "firmware updated: build " + old + " -> " + build);
    } else if (outcome.reason == reason::kDone && fetched) {
        std::string name = BaseName(outcome.dest);
        bool configuration = EqualsNoCase(name, terminal.configName) || name.empty();
        std::string problem = configuration ? RegistryExportProblem(outcome.content) : "";
        if (!problem.empty()) {
            // The terminal keeps the configuration it had.
            reasonCode = reason::kBadRegistryFile;
            Log(terminal, "configuration not taken: " + problem);
        } else {
            if (configuration) {
                name = terminal.configName;
                mib.Put("EntOidModDate", Value::Text(Now()));
                reboot = mib.Integer("EntOidCfgDnldReboot") == 1;
            }
            KeepFile(outcome.terminal, name, outcome.content);
            Log(terminal,
                "stored " + name + " (" + std::to_string(outcome.content.size()) + " bytes)");
        }
    }
    Log(terminal,
        "transfer " + outcome.detail +
            (reasonCode == reason::kDone ? std::string(": done")
                                         : ": failed, reason " + std::to_string(reasonCode)));
    SendOutcomeTrap(outcome.terminal, reasonCode);
    if (reboot) {
        Log(terminal, "rebooting after the configuration download");
        After(kRebootTime, [this, index = outcome.terminal] {
            m_terminals[index].mib->Restarted();
            SendTrap(index, 1, 0, {});
        });
    }
}

void Fleet::SendOutcomeTrap(std::size_t index, long reasonCode) {
    Terminal& terminal = m_terminals[index];
    if (terminal.setup.behaviours.noOutcomeTrap) {
        Log(terminal, "outcome trap (reason " + std::to_string(reasonCode) + ") not sent");
        return;
    }
    std::vector<VarBind> bindings;
    if (auto trapId = terminal.mib->OidOf("EntOidXferTrapID")) {
        bindings.push_back({*trapId, Value::Text(terminal.mib->Text("EntOidXferTrapID"))});
    }
    bindings.push_back(
        {Concat(terminal.product.prefix, kReasonSuffix), Value::Integer(reasonCode)});
    SendTrap(index, 6, reasonCode == reason::kDone ? 5 : 6, bindings);
}

void Fleet::SendTrap(std::size_t index, int generic, int specific, std::vector<VarBind> bindings) {
    Terminal& terminal = m_terminals[index];
    std::string destination = terminal.mib->Text("EntOidTrapServer5");
    if (destination.empty()) {
        destination = terminal.mib->Text("EntOidTrapServer4");
    }
    std::string what =
        "trap generic " + std::to_string(generic) + " specific " + std::to_string(specific);
    if (destination.empty()) {
        Log(terminal, what + " not sent: no trap destination");
        return;
    }
    auto address = ResolveIpv4(destination);
    if (!address || !IsLocalAddress(*address)) {
        Log(terminal,
            what + " not sent: destination " + destination + " is not an address of this machine");
        return;
    }
    Trap trap;
    trap.community = terminal.readCommunity;
    trap.enterprise = terminal.product.prefix;
    trap.agentAddress = terminal.setup.address;
    trap.generic = generic;
    trap.specific = specific;
    trap.timeStamp = terminal.mib->UpTime();
    trap.bindings = std::move(bindings);
    std::string datagram = EncodeTrap(trap);
    if (terminal.setup.behaviours.malformedTrap) {
        // A trap cut short: the header parses, the bindings do not.
        std::string broken = datagram.substr(0, datagram.size() / 2);
        SendDatagram(terminal.fd, *address, m_options.trapPort, broken);
        Log(terminal, "malformed datagram sent to " + Endpoint(*address, m_options.trapPort));
    }
    bool sent = SendDatagram(terminal.fd, *address, m_options.trapPort, datagram);
    Log(terminal, what + (sent ? " sent to " : " could not be sent to ") +
                      Endpoint(*address, m_options.trapPort));
}

}  // namespace simfleet
