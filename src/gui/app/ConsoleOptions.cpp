#include "gui/app/ConsoleOptions.h"

#include <cstdlib>
#include <cstring>

ConsoleOptions ConsoleOptions::Parse(int argc, char** argv) {
    ConsoleOptions options;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            options.help = true;
        } else if (std::strcmp(arg, "--version") == 0) {
            options.version = true;
        } else if (std::strcmp(arg, "--settings") == 0 ||
                   std::strncmp(arg, "--settings=", 11) == 0) {
            const char* name = arg[10] == '=' ? arg + 11 : (i + 1 < argc ? argv[++i] : "");
            // An empty name would quietly mean the default file.
            if (*name == '\0') {
                options.error = "--settings needs a file name";
            } else {
                options.settingsPath = name;
            }
        }
        // Anything else belongs to the toolkit (-platform, -style, ...).
    }
    return options;
}

const char* ConsoleOptions::HelpText() {
    return "Usage: fleetwarden [--settings FILE] [toolkit options]\n"
           "The Fleetwarden console: discovers, lists and manages network terminals.\n\n"
           "  --settings FILE   use FILE as the settings file (default: fleetwarden.ini\n"
           "                    beside the program; for an installed program\n"
           "                    $XDG_CONFIG_HOME/fleetwarden/fleetwarden.ini, by default\n"
           "                    under ~/.config)\n"
           "  --help            show this help\n"
           "  --version         show the version\n\n"
           "Without a display, run it under xvfb-run, or with QT_QPA_PLATFORM=offscreen.\n";
}

bool HasDisplay() {
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}
