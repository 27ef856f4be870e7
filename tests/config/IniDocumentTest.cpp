#include "config/IniDocument.h"

#include <gtest/gtest.h>

#include <string>

namespace orvane {
namespace {

std::string AfterSet(const std::string& text, const char* section, const char* key,
                     const char* value) {
  IniDocument document(text);
  document.SetValue(section, key, value);
  return document.Text();
}

TEST(IniDocumentTest, TextRoundTripsUntouched) {
  const std::string texts[] = {"",
                               "\n",
                               "\r\n",
                               "a",
                               "[A]\r\nx=1",
                               "\xEF\xBB\xBF[A]\nx=1\n",
                               "x\r\r\n\n;c\n[",
                               std::string("\0=\0\n", 4)};
  for (const std::string& text : texts) {
    EXPECT_EQ(IniDocument(text).Text(), text);
  }
}

TEST(IniDocumentTest, OnlyTheFirstSectionAndKeyOfANameCount) {
  const IniDocument document("[A]\nx=1\nX=2\n[a]\nx=3\ny=4\n[B] ; the second\n;z=5\nz\n w = 6 \n");
  EXPECT_EQ(document.Value("a", "X"), "1");
  EXPECT_EQ(document.Value("A", "y"), std::nullopt) << "the later [a] is not searched";
  EXPECT_EQ(document.Value("B", "z"), std::nullopt) << "neither a comment nor a bare word";
  EXPECT_EQ(document.Value("B", "w"), "6");
  EXPECT_EQ(document.Value("C", "x"), std::nullopt);
}

TEST(IniDocumentTest, ByteOrderMarkDoesNotHideTheFirstSection) {
  const std::string text = "\xEF\xBB\xBF[POSITION]\nLEFT=4\n";
  EXPECT_EQ(IniDocument(text).Value("POSITION", "LEFT"), "4");
  EXPECT_EQ(AfterSet(text, "POSITION", "TOP", "1"), text + "TOP=1\n");
}

TEST(IniDocumentTest, NewKeyGoesAfterTheLastEntryOfItsSection) {
  EXPECT_EQ(AfterSet("[A]\n\nx=1\n\n; about B\n[B]\n", "A", "y", "2"),
            "[A]\n\nx=1\ny=2\n\n; about B\n[B]\n");
  EXPECT_EQ(AfterSet("[A]\n; only a comment\n\n[B]\n", "A", "y", "2"),
            "[A]\ny=2\n; only a comment\n\n[B]\n");
  EXPECT_EQ(AfterSet("[A]", "A", "y", "2"), "[A]\ny=2\n");
  EXPECT_EQ(AfterSet("[A]\r\nx=1", "A", "y", "2"), "[A]\r\nx=1\ny=2\n");
  EXPECT_EQ(AfterSet("[A]\nx=1\n[a]\n", "a", "y", "2"), "[A]\nx=1\ny=2\n[a]\n");
}

TEST(IniDocumentTest, ReplacedValueKeepsTheLineAroundIt) {
  EXPECT_EQ(AfterSet("[A]\r\n Key =old value\r\nz=1\r\n", "A", "KEY", "-5"),
            "[A]\r\n Key =-5\r\nz=1\r\n");
  EXPECT_EQ(AfterSet("[A]\nk=1=2", "A", "k", "3"), "[A]\nk=3");
}

TEST(IniDocumentTest, MissingSectionIsAppendedAtTheEnd) {
  EXPECT_EQ(AfterSet("", "S", "k", "1"), "[S]\nk=1\n");
  EXPECT_EQ(AfterSet("; note", "S", "k", "1"), "; note\n[S]\nk=1\n");
  EXPECT_EQ(AfterSet("x=1\n", "S", "x", "2"), "x=1\n[S]\nx=2\n") << "lines before any section";
}

}  // namespace
}  // namespace orvane
