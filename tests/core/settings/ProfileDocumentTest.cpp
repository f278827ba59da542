#include <gtest/gtest.h>

#include "core/settings/ProfileDocument.h"

namespace {

const char* const kSample =
    "; comment at the top\n"
    "[Misc]\n"
    "GetCommunity = public\n"
    "Empty=\n"
    "Quoted=\"  spaced  \"\n"
    "Equation=a=b=c\n"
    "\n"
    "; a comment between sections\n"
    "[Other]\n"
    "Key=value\n";

// Sections and keys without regard to case, the first of two equal keys,
// and only a line beginning with ";" is a comment.
TEST(ProfileDocument, LooksUpLikeThePlatformsProfileFiles) {
    auto doc = ProfileDocument::Parse(kSample);
    EXPECT_EQ(doc.Get("MISC", "GETCOMMUNITY"), "public");
    EXPECT_EQ(doc.Get("Misc", "Empty"), "");
    EXPECT_EQ(doc.Get("Misc", "Quoted"), "  spaced  ");
    EXPECT_EQ(doc.Get("Misc", "Equation"), "a=b=c");
    EXPECT_FALSE(doc.Get("Misc", "Missing").has_value());
    EXPECT_FALSE(doc.Get("Absent", "Key").has_value());
    // A key of another section is not found through this one.
    EXPECT_FALSE(doc.Get("Misc", "Key").has_value());
    EXPECT_EQ(ProfileDocument::Parse("[A]\nk=first\nK=second\n").Get("A", "k"), "first");

    doc = ProfileDocument::Parse(
        "[S]\n#Ports=1\n  # spaced = 2\n;Hidden=3\n\n  ;Indented=4\nPlain=5 ; not a comment\n");
    EXPECT_EQ(doc.Get("S", "#Ports"), "1");
    EXPECT_EQ(doc.Get("S", "# spaced"), "2");
    EXPECT_FALSE(doc.Get("S", ";Hidden").has_value());
    EXPECT_FALSE(doc.Get("S", "Hidden").has_value());
    EXPECT_FALSE(doc.Get("S", "Indented").has_value());
    EXPECT_EQ(doc.SectionLines("s"),
              (std::vector<std::string>{"#Ports=1", "# spaced = 2", "Plain=5 ; not a comment"}));
    EXPECT_TRUE(doc.SectionLines("none").empty());
}

// Everything else stays in place: comments, order, the key's spelling, line
// ends and a missing final newline; deleting takes a whole section only.
TEST(ProfileDocument, ChangesKeepEverythingElseInPlace) {
    auto doc = ProfileDocument::Parse(kSample);
    doc.Set("misc", "GETCOMMUNITY", "secret");
    doc.Set("Misc", "NewKey", "new");
    doc.Set("Third", "A", "1");
    EXPECT_EQ(doc.Serialize(),
              "; comment at the top\n"
              "[Misc]\n"
              "GetCommunity = secret\n"
              "Empty=\n"
              "Quoted=\"  spaced  \"\n"
              "Equation=a=b=c\n"
              "NewKey=new\n"
              "\n"
              "; a comment between sections\n"
              "[Other]\n"
              "Key=value\n"
              "\n"
              "[Third]\n"
              "A=1\n");
    EXPECT_TRUE(doc.DeleteSection("MISC"));
    EXPECT_FALSE(doc.DeleteSection("Misc"));
    EXPECT_EQ(doc.Serialize().find("GetCommunity"), std::string::npos);
    EXPECT_EQ(doc.Get("Other", "Key"), "value");

    doc = ProfileDocument::Parse("[A]\r\nx=1\r\nk=first\r\nK=second");
    doc.Set("A", "k", "changed");
    EXPECT_EQ(doc.Serialize(), "[A]\r\nx=1\r\nk=changed\r\nK=second");
}

}  // namespace
