#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

// Checks of the command line's arguments: an argument that is empty or odd is
// refused with a usage error rather than guessed at (an empty address would
// ask the local host, "abc" as an index would count as 0).

// A terminal's address: a dotted IPv4 address such as 10.1.2.17.
bool IsTerminalAddress(const std::string& text);
// An INDEX: decimal digits only, at most 2147483647.
std::optional<int> ParseIndex(const std::string& text);

// Prints "fleetwarden-cli: PROBLEM" and the usage line; returns exit code 2.
int UsageError(std::ostream& err, const std::string& problem, const std::string& usage);
// The usage error for the first argument of `addresses` that is not an
// address; nothing when all are.
std::optional<int> RefuseBadAddresses(std::ostream& err, const std::vector<std::string>& addresses,
                                      const std::string& usage);
