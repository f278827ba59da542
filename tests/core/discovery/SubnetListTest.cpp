#include <gtest/gtest.h>

#include "core/discovery/SubnetList.h"

namespace {

using Entries = std::vector<std::string>;

TEST(SubnetList, EntriesAreStoredLastFirst) {
    SubnetTable table;
    ASSERT_TRUE(ParseSubnetList("10.1.1;10.1.2", table));
    EXPECT_EQ(table.Entries(), (Entries{"10.1.2", "10.1.1"}));
    ASSERT_TRUE(ParseSubnetList("10.1.1", table));
    EXPECT_EQ(table.Entries(), (Entries{"10.1.1"}));
    // Any number of ";" at the very end is ignored.
    ASSERT_TRUE(ParseSubnetList("10.1.1;;", table));
    EXPECT_EQ(table.Entries(), (Entries{"10.1.1"}));
    ASSERT_TRUE(ParseSubnetList("192.168.4;10.1.1;172.16.9;", table));
    EXPECT_EQ(table.Entries(), (Entries{"172.16.9", "10.1.1", "192.168.4"}));
}

TEST(SubnetList, AnEntryIsExactlyThreeNumbersFrom0To255) {
    SubnetTable table;
    for (const char* good : {"255.255.255", "0.0.0", "127.0.0", "10.1.2", "192.168.100"}) {
        EXPECT_TRUE(ParseSubnetList(good, table)) << good;
    }
    // Shorter forms, octal and hexadecimal parts, and anything the C library's
    // reader would stop before (white space, a NUL) are refused.
    for (const std::string& bad : std::vector<std::string>{
             "10.1", "10", "0x0a.1.2", "010.1.2", "10.1.02", "1000.1.2", "10.1.256", "10.1.1.1",
             "10.1.x", "10..1", "10.1.2.", "a.b.c", "10.1.2 ", " 10.1.2", "10.1.2\tjunk", "-1.2.3",
             "+1.2.3", std::string("10.1.2\0", 7), std::string("10.1\0.2", 7)}) {
        EXPECT_FALSE(ParseSubnetList(bad, table)) << bad;
    }
}

TEST(SubnetList, EmptyEntriesAndBadEntriesRejectTheWholeList) {
    SubnetTable table;
    for (const char* bad :
         {"10.1.1;;10.1.2", ";10.1.1", ";", ";;", "10.1.1;10.1.2.3", "10.1.1; 10.1.2"}) {
        ASSERT_TRUE(ParseSubnetList("10.9.9", table));
        EXPECT_FALSE(ParseSubnetList(bad, table)) << bad;
        EXPECT_EQ(table.Count(), 0u) << bad;
    }
    // The empty text leaves the table as it was.
    ASSERT_TRUE(ParseSubnetList("10.9.9;10.9.8", table));
    EXPECT_FALSE(ParseSubnetList("", table));
    EXPECT_EQ(table.Entries(), (Entries{"10.9.8", "10.9.9"}));
}

TEST(SubnetList, HoldsAtMost255Entries) {
    SubnetTable table;
    std::string list;
    for (int i = 0; i < 255; ++i) {
        list += "10." + std::to_string(i / 200) + "." + std::to_string(i % 200) + ";";
    }
    ASSERT_TRUE(ParseSubnetList(list, table));
    EXPECT_EQ(table.Count(), 255u);
    EXPECT_EQ(table.Entries().front(), "10.1.54");
    EXPECT_FALSE(ParseSubnetList(list + "10.2.0", table));
    EXPECT_EQ(table.Count(), 0u);
}

}  // namespace
