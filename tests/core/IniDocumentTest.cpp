#include "core/config/IniDocument.h"

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

TEST(IniDocumentTest, OnlyTheFirstSectionAndKeyOfANameCount) {
  const IniDocument document(
      "x=0\n[A]\nx=1\nX=2\n[a]\nx=3\ny=4\n[B] ; the second\n;z=5\nz\n w = 6 \n");
  EXPECT_EQ(document.Value("a", "X"), "1");
  EXPECT_EQ(document.Value("A", "y"), std::nullopt) << "the later [a] is not searched";
  EXPECT_EQ(document.Value("B", "z"), std::nullopt) << "neither a comment nor a bare word";
  EXPECT_EQ(document.Value("B", "w"), "6");
  EXPECT_EQ(document.Value("C", "x"), std::nullopt);
  EXPECT_EQ(AfterSet("x=1\n", "S", "x", "2"), "x=1\n[S]\nx=2\n") << "lines before any section";
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

}  // namespace
}  // namespace orvane
