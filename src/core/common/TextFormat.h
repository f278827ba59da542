#pragma once

#include <string>

// printf-style formatting into a std::string, for the texts whose formats
// ("%s%lu - %s", " ***** %02d/%02d/%04d ...") are part of the behaviour.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// True when `text` contains `part` anywhere (case-sensitive).
inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Plain decimal conversion: leading blanks, a sign and leading digits; text that
// is not a number reads as 0.
long ToLong(const std::string& text);
