// exclusions: the exclusions a configuration download offers.
#include <ostream>

#include "cli/CliCommandsList.h"
#include "core/app/CTarnDoc.h"
#include "core/common/StringTable.h"
#include "core/staging/ExclusionList.h"

int RunExclusionsCommand(CliContext& context) {
    if (!context.args.empty()) {
        context.err << "usage: fleetwarden-cli exclusions" << std::endl;
        return 2;
    }
    ExclusionList list = ReadAvailableExclusions(
        context.doc.State().Profiles(), context.doc.GetINIPath(), context.doc.GetTemplatePath());
    for (const std::string& name : list.names) {
        context.out << name << "\n";
    }
    context.out.flush();
    if (!list.complete) {
        constexpr int kOutOfBufferMemory = 162;
        context.messages.ShowMessage(LoadResString(kOutOfBufferMemory), MessageIcon::Warning);
        return 1;
    }
    return 0;
}
