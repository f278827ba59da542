#pragma once

#include <string>
#include <string_view>

// A value from the network made safe to show as one line of a log or of the
// command line's text output: a backslash is doubled, line feed, carriage
// return and tab read \n, \r and \t, and every other byte that is not part of
// a printable character reads \xHH: the other C0 controls, DEL, the C1
// controls, and bytes that are not UTF-8. So a value can neither break a line
// nor steer a terminal, and a printed escape cannot be told apart from a
// value that held a backslash.
std::string EscapeForLine(std::string_view value);
