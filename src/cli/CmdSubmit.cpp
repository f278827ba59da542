// submit: a transfer request typed by hand, as the manual submission sends it.
#include <map>
#include <optional>
#include <ostream>

#include "cli/CliCommandsList.h"
#include "core/app/CTarnDoc.h"
#include "core/common/Sentinel.h"
#include "core/common/TextFormat.h"
#include "core/discovery/DiscoveryControl.h"
#include "core/transfer/ManualXferRequest.h"
#include "core/transfer/XferRequestWriter.h"

namespace {

constexpr char kUsage[] =
    "usage: fleetwarden-cli submit IP --direction up|down --type binary|ascii --source S "
    "--dest D --server NAME [--trap-id ID]";
constexpr std::size_t kMaxTrapId = 10;

}  // namespace

int RunSubmitCommand(CliContext& context) {
    const auto& args = context.args;
    if (args.empty() || args[0].rfind("--", 0) == 0 || args.size() % 2 == 0) {
        context.err << kUsage << std::endl;
        return 2;
    }
    const std::string& ip = args[0];
    std::map<std::string, std::string> options;
    for (std::size_t i = 1; i + 1 < args.size(); i += 2) {
        options[args[i]] = args[i + 1];
    }
    auto valueOf = [&](const char* name, const char* a, const char* b) -> std::optional<bool> {
        auto found = options.find(name);
        if (found == options.end()) {
            return std::nullopt;
        }
        if (found->second != a && found->second != b) {
            return std::nullopt;
        }
        return found->second == a;
    };
    std::optional<bool> down = valueOf("--direction", "down", "up");
    std::optional<bool> binary = valueOf("--type", "binary", "ascii");
    bool known = true;
    for (const auto& [name, value] : options) {
        known = known && (name == "--direction" || name == "--type" || name == "--source" ||
                          name == "--dest" || name == "--server" || name == "--trap-id");
    }
    if (!known || !down || !binary || !options.count("--source") || !options.count("--dest") ||
        !options.count("--server")) {
        context.err << kUsage << std::endl;
        return 2;
    }
    ManualXferFields fields;
    fields.trapId = options.count("--trap-id") ? options["--trap-id"] : TrapReturnId(ip);
    if (fields.trapId.size() > kMaxTrapId) {
        context.err << "fleetwarden-cli: --trap-id holds at most 10 characters" << std::endl;
        return 2;
    }
    fields.download = *down;
    fields.binary = *binary;
    fields.source = options["--source"];
    fields.dest = options["--dest"];
    fields.server = options["--server"];

    // Enterprise objects hang under the terminal's product prefix, which
    // registration learns; a terminal that does not answer gets nothing.
    SnmpOutcome probe = ProbeTerminalName(context.doc, ip);
    if (!probe.ok) {
        context.err << ip << ": no answer: " << probe.text << std::endl;
        return 1;
    }
    context.doc.RegisterTerminal(ip);
    std::string result = SubmitManualXferRequest(context.doc, ip, fields);
    context.out << result << std::endl;
    return result == kNoneNoneNone ? 0 : 1;
}
