#include <gtest/gtest.h>

#include "core/common/LineEscape.h"

TEST(LineEscape, OnlyPrintableCharactersPassUnchanged) {
    const std::pair<std::string, std::string> cases[] = {
        {"Rack 4, desk 7", "Rack 4, desk 7"},
        {"C:\\new", "C:\\\\new"},  // a value that merely looks like an escape
        {"a\r\nb\tc", "a\\r\\nb\\tc"},
        {"\x1b[2J\x07", "\\x1b[2J\\x07"},
        {std::string("a\0b\x7f", 4), "a\\x00b\\x7f"},
        {"\xc3\xbc \xe2\x82\xac \xf0\x9f\x96\xa5", "\xc3\xbc \xe2\x82\xac \xf0\x9f\x96\xa5"},
        {"\xc2\x9b[m", "\\xc2\\x9b[m"},  // the 8-bit control sequence introducer
        {"\xff\xc0\xaf\xed\xa0\x80\xe2\x82",
         "\\xff\\xc0\\xaf\\xed\\xa0\\x80\\xe2\\x82"},  // not UTF-8
    };
    for (const auto& [value, line] : cases) {
        EXPECT_EQ(EscapeForLine(value), line) << line;
    }
}
