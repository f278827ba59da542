#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/CliContext.h"

// One run of the command line in this process, with what it printed.
struct CliRun {
    int code;
    std::string out;
    std::string err;
};

inline CliRun RunCliCaptured(std::vector<std::string> args, const std::string& input = {}) {
    args.insert(args.begin(), "fleetwarden-cli");
    std::istringstream in(input);
    std::ostringstream out, err;
    int code = RunCli(args, in, out, err);
    return {code, out.str(), err.str()};
}

// The lines of a text, without their line ends (CR LF included).
inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}
