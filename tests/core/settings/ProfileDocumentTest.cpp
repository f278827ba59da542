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

TEST(ProfileDocument, LooksUpSectionsAndKeysWithoutRegardToCase) {
    auto doc = ProfileDocument::Parse(kSample);
    EXPECT_EQ(doc.Get("misc", "getcommunity"), "public");
    EXPECT_EQ(doc.Get("MISC", "GETCOMMUNITY"), "public");
    EXPECT_EQ(doc.Get("Misc", "Empty"), "");
    EXPECT_EQ(doc.Get("Misc", "Quoted"), "  spaced  ");
    EXPECT_EQ(doc.Get("Misc", "Equation"), "a=b=c");
    EXPECT_EQ(ProfileDocument::Parse("[S]\na=b=c\n").Get("S", "a"), "b=c");
    EXPECT_FALSE(doc.Get("Misc", "Missing").has_value());
    EXPECT_FALSE(doc.Get("Absent", "Key").has_value());
    // A key of another section is not found through this one.
    EXPECT_FALSE(doc.Get("Misc", "Key").has_value());
}

TEST(ProfileDocument, SetKeepsCommentsOrderAndTheKeysSpelling) {
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
}

TEST(ProfileDocument, DeletesAWholeSectionAndNothingElse) {
    auto doc = ProfileDocument::Parse(kSample);
    EXPECT_TRUE(doc.DeleteSection("MISC"));
    EXPECT_FALSE(doc.DeleteSection("Misc"));
    EXPECT_FALSE(doc.Get("Misc", "GetCommunity").has_value());
    EXPECT_EQ(doc.Get("Other", "Key"), "value");
    EXPECT_EQ(doc.Serialize().find("GetCommunity"), std::string::npos);
}

TEST(ProfileDocument, KeepsWindowsLineEndingsAndAMissingFinalNewline) {
    auto doc = ProfileDocument::Parse("[A]\r\nx=1\r\ny=2");
    EXPECT_EQ(doc.Get("A", "y"), "2");
    doc.Set("A", "x", "3");
    EXPECT_EQ(doc.Serialize(), "[A]\r\nx=3\r\ny=2");
}

TEST(ProfileDocument, SectionLinesLeaveOutBlanksAndComments) {
    auto doc =
        ProfileDocument::Parse("[Ex]\nOne=multi_sz:\"a\",\"b\"\n\n; note\n\"Two\"=x\nbare\n");
    EXPECT_EQ(doc.SectionLines("ex"),
              (std::vector<std::string>{"One=multi_sz:\"a\",\"b\"", "\"Two\"=x", "bare"}));
    EXPECT_TRUE(doc.SectionLines("none").empty());
}

TEST(ProfileDocument, OnlyASemicolonBeginsAComment) {
    auto doc = ProfileDocument::Parse(
        "[S]\n#Ports=1\n  # spaced = 2\n;Hidden=3\n  ;Indented=4\nPlain=5 ; not a comment\n");
    EXPECT_EQ(doc.Get("S", "#Ports"), "1");
    EXPECT_EQ(doc.Get("S", "# spaced"), "2");
    EXPECT_FALSE(doc.Get("S", ";Hidden").has_value());
    EXPECT_FALSE(doc.Get("S", "Hidden").has_value());
    EXPECT_FALSE(doc.Get("S", "Indented").has_value());
    EXPECT_EQ(doc.Get("S", "Plain"), "5 ; not a comment");
    EXPECT_EQ(doc.SectionLines("S"),
              (std::vector<std::string>{"#Ports=1", "# spaced = 2", "Plain=5 ; not a comment"}));
}

TEST(ProfileDocument, FirstOfTwoEqualKeysWins) {
    auto doc = ProfileDocument::Parse("[A]\nk=first\nK=second\n");
    EXPECT_EQ(doc.Get("A", "k"), "first");
    doc.Set("A", "k", "changed");
    EXPECT_EQ(doc.Serialize(), "[A]\nk=changed\nK=second\n");
}

}  // namespace
