#pragma once

#include <string>

// The console's own command line, read before the toolkit starts so that
// --help and --version work without a display.
struct ConsoleOptions {
    std::string settingsPath;
    bool help = false;
    bool version = false;
    std::string error;  // an option that was not understood

    static ConsoleOptions Parse(int argc, char** argv);
    static const char* HelpText();
};

// True when the toolkit has somewhere to show windows: an X or Wayland display,
// or a platform chosen explicitly (offscreen, vnc, ...).
bool HasDisplay();
