#pragma once

#include <stdexcept>

// The configuration filter's exceptions, the console's only ones: the section
// readers throw the first two, the filter plug-in the other seven. They are
// thrown by value and caught by type, also across the plug-in's boundary, so
// each must be one and the same type in the console and in the plug-in:
// - default visibility keeps their type information exported even from code
//   built with hidden visibility (the plug-in is);
// - every member is inline and the types have external linkage, so both sides
//   carry type information under the same mangled name, which is what the C++
//   run time compares when it matches a thrown type with a handler;
// - both sides must load the same shared C++ run time: never link the plug-in
//   with -static-libstdc++.
namespace FilterIniFileTypes {

class __attribute__((visibility("default"))) FilterException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A section or a template value does not fit its buffer.
class __attribute__((visibility("default"))) OutOfBufferMemException : public FilterException {
public:
    OutOfBufferMemException() : FilterException("out of buffer memory") {}
};

// The plug-in's failures.
#define FILTER_INI_FILE_EXCEPTION(Name, Text)                                    \
    class __attribute__((visibility("default"))) Name : public FilterException { \
    public:                                                                      \
        Name() : FilterException(Text) {}                                        \
    };
FILTER_INI_FILE_EXCEPTION(InfileNotFoundEx, "the input file does not exist")
FILTER_INI_FILE_EXCEPTION(InfileReadEx, "the input file cannot be read")
FILTER_INI_FILE_EXCEPTION(InfileWriteEx, "a write concerning the input file failed")
FILTER_INI_FILE_EXCEPTION(InfileOutOfMem, "the input file does not fit the buffer")
FILTER_INI_FILE_EXCEPTION(TemplFileNotFoundEx, "the template file does not exist")
FILTER_INI_FILE_EXCEPTION(TemplOutOfMem, "the template does not fit the buffer")
FILTER_INI_FILE_EXCEPTION(OutfileWriteEx, "the output file cannot be written")
#undef FILTER_INI_FILE_EXCEPTION

}  // namespace FilterIniFileTypes
