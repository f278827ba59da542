#include <cstdio>

#include "core/app/CTarnDoc.h"
#include "gui/app/CTarnApp.h"

int main(int argc, char** argv) {
    ConsoleOptions options = ConsoleOptions::Parse(argc, argv);
    if (!options.error.empty()) {
        std::fprintf(stderr, "fleetwarden: %s\n%s", options.error.c_str(),
                     ConsoleOptions::HelpText());
        return 2;
    }
    if (options.help) {
        std::fputs(ConsoleOptions::HelpText(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("fleetwarden %s\n", CTarnDoc::GetVersionText().c_str());
        return 0;
    }
    if (!HasDisplay()) {
        std::fputs(
            "fleetwarden: no display to show the console on (DISPLAY is not set).\n"
            "Run it under a virtual display with: xvfb-run -a fleetwarden\n"
            "or without any display with: QT_QPA_PLATFORM=offscreen fleetwarden\n",
            stderr);
        return 1;
    }
    CTarnApp app(argc, argv, options);
    if (!app.InitInstance()) {
        return app.ExitCode();
    }
    return app.Run();
}
