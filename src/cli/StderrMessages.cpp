#include <ostream>

#include "cli/CliContext.h"

void StderrMessages::ShowMessage(const std::string& text, MessageIcon /*icon*/) {
    // A message box may hold line breaks; on standard error it stays one line.
    std::string line;
    bool lastWasBreak = false;
    for (char c : text) {
        if (c == '\n' || c == '\r') {
            if (!lastWasBreak && !line.empty()) {
                line += ' ';
            }
            lastWasBreak = true;
            continue;
        }
        lastWasBreak = false;
        line += c;
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    std::lock_guard lock(m_mutex);
    m_err << line << std::endl;
    ++m_shown;
}
