#include "core/voice/FieldReaders.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(FieldReadersTest, TranspositionTakesTheLeadingInteger) {
  const std::pair<const char*, int> accepted[] = {{"0", 0},
                                                  {"-24", -24},
                                                  {"1.5", 1},
                                                  {"7abc", 7},
                                                  {"  +12", 12},
                                                  {"\t-3 semitones", -3},
                                                  {"2147483647", 2147483647},
                                                  {"-2147483648", INT32_MIN},
                                                  {"000000000000000000009", 9}};
  for (const auto& [text, value] : accepted) {
    const FieldRead read = ReadTransposition(text);
    EXPECT_EQ(read.value, value) << text;
    EXPECT_EQ(read.failure, FieldFailure::kNone) << text;
    EXPECT_TRUE(read.message.empty()) << text;
  }
  for (const char* text : {"", "x", "   ", "- 5", "--5", ".5", "2147483648", "-2147483649",
                           "99999999999999999999999"}) {
    const FieldRead read = ReadTransposition(text);
    EXPECT_FALSE(read.Succeeded()) << text;
    EXPECT_EQ(read.failure, FieldFailure::kNotAnInteger) << text;
    EXPECT_EQ(read.message, "Enter an integer.") << text;
  }
}

TEST(FieldReadersTest, VolumeIsReadAsAByteThenRangeTested) {
  const std::pair<const char*, int> accepted[] = {{"0", 0},         {"100", 100}, {"127", 127},
                                                  {" 64 loud", 64}, {"+5", 5},    {"90.9", 90}};
  for (const auto& [text, value] : accepted) EXPECT_EQ(ReadVolume(text).value, value) << text;

  for (const char* text : {"300", "-5", "-200", "abc", "", "256", "-0", "99999999999999999999"}) {
    const FieldRead read = ReadVolume(text);
    EXPECT_FALSE(read.Succeeded()) << text;
    EXPECT_EQ(read.failure, FieldFailure::kNotAByte) << text;
    EXPECT_EQ(read.message, "Enter an integer between 0 and 255.") << text;
  }
  for (const char* text : {"128", "255"}) {
    EXPECT_TRUE(ReadVolumeText(text).Succeeded()) << "the reading step passes " << text;
    const FieldRead read = ReadVolume(text);
    EXPECT_EQ(read.failure, FieldFailure::kOutOfRange) << text;
    EXPECT_EQ(read.message, "Enter an integer between 0 and 127.") << text;
  }
}

}  // namespace
}  // namespace orvane
