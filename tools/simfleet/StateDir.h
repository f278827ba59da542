#pragma once

#include <netinet/in.h>

#include <string>

namespace simfleet {

// The files of every terminal on disk, for tests and the demo to read: one
// directory per terminal, named by its address, holding the terminal's files
// by name (its configuration under the configuration file's name). Files are
// owner-only, since configurations hold passwords, and replaced whole, so a
// reader never sees half of one.
class StateDir {
public:
    explicit StateDir(std::string root) : m_root(std::move(root)) {}

    bool Enabled() const { return !m_root.empty(); }
    // Creates the directory (0700) when missing; false with the reason.
    bool Prepare(std::string& error) const;
    bool Keep(in_addr terminal, const std::string& name, const std::string& content,
              std::string& error) const;
    std::string PathOf(in_addr terminal, const std::string& name) const;

private:
    std::string m_root;
};

}  // namespace simfleet
