#include "resources/PatchNames.h"

#include <gtest/gtest.h>

#include <string>

namespace orvane {
namespace {

// A list position is taken as the program number, so every entry must start with its own.
TEST(PatchNames, EachEntryStartsWithItsProgramNumberAndOneBlank) {
  for (int program = 0; program < kPatchCount; ++program) {
    const std::string prefix = std::to_string(program) + " ";
    const std::string_view name = kPatchNames[program];
    ASSERT_TRUE(name.starts_with(prefix)) << name;
    EXPECT_GT(name.size(), prefix.size()) << name;
    EXPECT_NE(name[prefix.size()], ' ') << name;
  }
  EXPECT_EQ(kPatchNames[0], "0 Acoustic Grand piano");
  EXPECT_EQ(kPatchNames[87], "87 Lead 8 (brass + lead)");
  EXPECT_EQ(kPatchNames[127], "127 Gunshot");
}

}  // namespace
}  // namespace orvane
