#pragma once

#include <stdexcept>
#include <string>

// Exceptions of the configuration filter: the section readers' and the filter
// plug-in's. They are the console's only exceptions.
namespace FilterIniFileTypes {
class FilterException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// A section or a template value does not fit its buffer.
class OutOfBufferMemException : public FilterException {
public:
    OutOfBufferMemException() : FilterException("out of buffer memory") {}
};
}  // namespace FilterIniFileTypes

// One value of the template file; the name is looked up in double quotes. The
// empty text when the file or the entry is missing; a value of 1998 characters
// or more throws OutOfBufferMemException.
std::string GetTemplateValue(const std::string& file, const std::string& section,
                             const std::string& name);

// The template's "Version" entry of section "Template-Version", or the empty text.
std::string GetTemplateVersion();
