#include "program/CommandLine.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace orvane {
namespace {

std::optional<TextRequest> RequestOf(std::vector<const char*> arguments) {
  return TextRequestOf(static_cast<int>(arguments.size()), arguments.data());
}

TEST(CommandLineTest, OnlyASoleHelpOrVersionArgumentAsksForAText) {
  EXPECT_EQ(RequestOf({"orvane", "--help"}), TextRequest::kHelp);
  EXPECT_EQ(RequestOf({"orvane", "--version"}), TextRequest::kVersion);

  // Everything else starts the instrument; the first argument stays the voice file.
  EXPECT_EQ(RequestOf({"orvane"}), std::nullopt);
  EXPECT_EQ(RequestOf({"orvane", "Organ.orvane"}), std::nullopt);
  EXPECT_EQ(RequestOf({"orvane", "--help", "more"}), std::nullopt);
  EXPECT_EQ(RequestOf({"orvane", "Organ.orvane", "--version"}), std::nullopt);
  EXPECT_EQ(RequestOf({"orvane", "-h"}), std::nullopt);
  EXPECT_EQ(RequestOf({"orvane", "--HELP"}), std::nullopt);
  EXPECT_EQ(RequestOf({"orvane", "--help=all"}), std::nullopt);
  EXPECT_EQ(TextRequestOf(0, nullptr), std::nullopt);
}

TEST(CommandLineTest, AnswersGoToTheOutputWithStatusZero) {
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(AnswerTextRequest(TextRequest::kVersion, out, err), 0);
  EXPECT_EQ(out.str(), std::string("Tellak Orvane ") + ORVANE_VERSION + "\n");
  EXPECT_EQ(err.str(), "");

  out.str("");
  EXPECT_EQ(AnswerTextRequest(TextRequest::kHelp, out, err), 0);
  EXPECT_EQ(out.str(), HelpText());
  EXPECT_EQ(out.str().rfind("Usage: orvane [VOICE-FILE]\n", 0), 0u);
}

// A terminal of 80 columns shows every line of the help whole.
TEST(CommandLineTest, HelpLinesFitEightyColumns) {
  std::istringstream lines{std::string(HelpText())};
  for (std::string line; std::getline(lines, line);) {
    EXPECT_LE(line.size(), 80u) << line;
  }
  EXPECT_EQ(HelpText().back(), '\n');
}

// `orvane --version > /dev/full` must not report success for a text nobody received.
TEST(CommandLineTest, AnOutputThatCannotBeWrittenGivesStatusOne) {
  std::ostringstream out;
  out.setstate(std::ios::badbit);
  std::ostringstream err;
  EXPECT_EQ(AnswerTextRequest(TextRequest::kHelp, out, err), 1);
  EXPECT_NE(err.str().find("cannot write"), std::string::npos);
}

}  // namespace
}  // namespace orvane
