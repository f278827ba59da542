// upload: a terminal's configuration into a local directory, the whole run of
// the console's Upload Configuration for one terminal.
#include <condition_variable>
#include <mutex>
#include <ostream>

#include "cli/CliArguments.h"
#include "cli/CliCommandsList.h"
#include "core/app/CTarnDoc.h"
#include "core/common/ProgressNotice.h"
#include "core/discovery/DiscoveryControl.h"
#include "core/staging/FtpClient.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/transfer/ConfigurationUpload.h"
#include "core/traps/TrapListener.h"

namespace {

constexpr char kUsage[] = "upload IP DIR [--timeout S]";
// The listener's first line says whether it listens; it comes at once.
constexpr std::chrono::seconds kListenerStart{10};
// The trap's lines follow its sender's name, which a GET with retries reads.
constexpr std::chrono::seconds kTrapLinesWait{15};

// The Trap Monitor's lines of this run, kept: the command line has no monitor
// to show them in, so the lines of a failure trap are printed after the run.
class KeptTrapLog final : public ITrapLog {
public:
    void AddLine(const std::string& text) override {
        {
            std::lock_guard lock(m_mutex);
            m_lines.push_back(text);
        }
        m_changed.notify_all();
    }
    // The listener's first line ("Listening For Traps..." or why it cannot).
    std::optional<std::string> FirstLine() {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_for(lock, kListenerStart, [this] { return !m_lines.empty(); })) {
            return std::nullopt;
        }
        return m_lines.front();
    }
    // Waits until a trap block names `ip` as its sender.
    bool WaitForSender(const std::string& ip) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, kTrapLinesWait, [&] { return NameLine(ip) >= 0; });
    }
    // The lines of the first block from `ip`: its name line and what follows,
    // up to the next block.
    std::vector<std::string> BlockOf(const std::string& ip) {
        std::lock_guard lock(m_mutex);
        std::vector<std::string> block;
        int at = NameLine(ip);
        for (std::size_t i = static_cast<std::size_t>(at); at >= 0 && i < m_lines.size(); ++i) {
            if (m_lines[i] == kTrapSeparatorLine) {
                break;
            }
            block.push_back(m_lines[i]);
        }
        return block;
    }
    std::vector<std::string> Lines() {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }

private:
    int NameLine(const std::string& ip) const {
        const std::string suffix = " : " + ip;
        for (std::size_t i = 0; i < m_lines.size(); ++i) {
            const std::string& line = m_lines[i];
            if (line.size() >= suffix.size() &&
                line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_lines;
};

}  // namespace

int RunUploadCommand(CliContext& context) {
    const auto& args = context.args;
    std::chrono::milliseconds timeout = kUploadTrapTimeout;
    if (args.size() == 4 && args[2] == "--timeout") {
        std::optional<int> seconds = ParseIndex(args[3]);
        if (!seconds || *seconds == 0) {
            return UsageError(context.err, "--timeout takes a number of seconds from 1", kUsage);
        }
        timeout = std::chrono::seconds(*seconds);
    } else if (args.size() != 2) {
        return UsageError(context.err, "an address and a directory are needed", kUsage);
    }
    if (auto refused = RefuseBadAddresses(context.err, {args[0]}, kUsage)) {
        return *refused;
    }
    const std::string& ip = args[0];
    const std::string& directory = args[1];

    // The terminal becomes the one entry of a list, as the dialog lists it.
    SnmpOutcome probe = ProbeTerminalName(context.doc, ip);
    if (!probe.ok) {
        context.err << ip << ": no answer: " << probe.text << std::endl;
        return 1;
    }
    context.doc.RegisterTerminal(ip);
    std::optional<TerminalEntry> entry = context.doc.State().Terminals().FindByIP(ip);
    if (!entry) {
        context.err << ip << ": not a terminal of a known product" << std::endl;
        return 1;
    }
    MacByItemTable rows;
    rows.Assign({entry->record.m_macAdr});

    // The outcome trap is heard here: the listener decides the awaited upload
    // as the console's Trap Monitor does.
    KeptTrapLog log;
    TrapListener listener(context.doc, log, nullptr);
    listener.Start();
    std::optional<std::string> first = log.FirstLine();
    if (first != "Listening For Traps...") {
        listener.Stop();
        for (const auto& line : log.Lines()) {
            context.err << line << std::endl;
        }
        if (!first) {
            context.err << "fleetwarden-cli: the trap listener did not start" << std::endl;
        }
        return 1;
    }

    CurlFtpClient ftp;
    NoProgressNotice notice;
    UploadEnd end = UploadConfiguration(context.doc, rows, {directory, 0, entry->record.m_name},
                                        ftp, notice, {}, timeout);
    if (end == UploadEnd::TrapFailure) {
        // The reason is in the trap's lines, which follow the sender's name.
        bool named = log.WaitForSender(ip);
        listener.Stop();
        for (const auto& line : named ? log.BlockOf(ip) : std::vector<std::string>{}) {
            context.err << line << std::endl;
        }
        return 1;
    }
    listener.Stop();
    return end == UploadEnd::Done ? 0 : 1;
}
