#include "voice/VoiceFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ToneGenFixture.h"

namespace orvane::testing {
namespace {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class VoiceFilesTest : public ToneGenTest {
 protected:
  void SetUp() override {
    StartQuietly();
    files.emplace(dir.File("Orvane.orvset"), dir.File("temp.orvset"), *tone, messages,
                  [this](const std::string& title) { titles.push_back(title); });
  }
  Voice SomeVoice() const {
    Voice voice = Voice::Default();
    voice.layerOn[2] = true;
    voice.patch[2] = 40;
    voice.volume[2] = 90;
    voice.transposition[2] = -12;
    return voice;
  }
  std::vector<std::string> FilesInDir() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::optional<VoiceFiles> files;
  std::vector<std::string> titles;
};

TEST_F(VoiceFilesTest, WritesTheToneGeneratorVoiceAndNamesTheWindowAfterIt) {
  tone->voice = SomeVoice();
  ASSERT_TRUE(files->WriteVoiceFile(dir.File("Organ.orvane")));
  const std::string bytes = ReadBytes(dir.File("Organ.orvane"));
  ASSERT_EQ(bytes.size(), kVoiceFileSize);
  EXPECT_EQ(bytes.substr(14, 7), std::string("\x28\x5A\xF4\xFF\xFF\xFF\x01", 7));
  EXPECT_EQ(files->voiceName(), "Organ");
  EXPECT_EQ(titles, (std::vector<std::string>{"Organ - Tellak Orvane"}));
  EXPECT_TRUE(midi.events.empty());  // writing sends nothing

  // Overwriting replaces the file whole and leaves no temporary file behind.
  tone->voice = Voice::Default();
  ASSERT_TRUE(files->WriteVoiceFile(dir.File("Organ.orvane")));
  EXPECT_EQ(ReadBytes(dir.File("Organ.orvane")).substr(14, 7), std::string("\0\x64\0\0\0\0\0", 7));
  EXPECT_EQ(FilesInDir(), (std::vector<std::string>{"Organ.orvane", "Orvane.ini"}));
}

TEST_F(VoiceFilesTest, FailedWriteReportsNothingAndKeepsTheTitle) {
  ASSERT_TRUE(files->WriteVoiceFile(dir.File("Lead.orvane")));
  titles.clear();
  EXPECT_FALSE(files->WriteVoiceFile(dir.File("missing-folder/Pad.orvane")));
  std::filesystem::create_directory(dir.path() / "taken.orvane");
  std::filesystem::create_directory(dir.path() / "taken.orvane" / "inside");
  EXPECT_FALSE(files->WriteVoiceFile(dir.File("taken.orvane")));
  EXPECT_TRUE(titles.empty());
  EXPECT_EQ(files->voiceName(), "Lead");
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(FilesInDir(), (std::vector<std::string>{"Lead.orvane", "Orvane.ini", "taken.orvane"}));
}

TEST_F(VoiceFilesTest, ReadsTheFirst112BytesIntoTheToneGenerator) {
  CSettingsBank bank;
  bank.voice = SomeVoice();
  const auto stored = bank.Store();
  std::string bytes(stored.begin(), stored.end());
  bytes.append(88, '\x7F');  // a 200-byte file
  dir.Write("Bass.ORVANE", bytes);

  EXPECT_EQ(files->ReadVoiceFile(dir.File("Bass.ORVANE")), VoiceReadResult::Loaded);
  EXPECT_EQ(tone->voice, SomeVoice());
  EXPECT_EQ(files->voiceName(), "Bass.ORVANE");  // the extension is removed case-sensitively
  EXPECT_EQ(titles, (std::vector<std::string>{"Bass.ORVANE - Tellak Orvane"}));
  EXPECT_TRUE(midi.events.empty());  // the caller sends programs and volumes
}

TEST_F(VoiceFilesTest, EveryVoiceExtensionLeavesTheName) {
  tone->voice = SomeVoice();
  ASSERT_TRUE(files->WriteVoiceFile(dir.File("a.orvane.orvane")));
  tone->voice = Voice::Default();
  EXPECT_EQ(files->ReadVoiceFile(dir.File("a.orvane.orvane")), VoiceReadResult::Loaded);
  EXPECT_EQ(tone->voice, SomeVoice());
  EXPECT_EQ(files->voiceName(), "a");
  EXPECT_EQ(titles.back(), "a - Tellak Orvane");
  // Only the file name counts, not the folders above it.
  std::filesystem::create_directory(dir.path() / "x.orvane");
  ASSERT_TRUE(files->WriteVoiceFile(dir.File("x.orvane/my.orvaneset")));
  EXPECT_EQ(files->voiceName(), "myset");
}

TEST_F(VoiceFilesTest, WorkingAndScratchFilesKeepTheVoiceName) {
  ASSERT_TRUE(files->WriteVoiceFile(dir.File("Strings.orvane")));
  titles.clear();
  ASSERT_TRUE(files->WriteVoiceFile(files->workingVoicePath()));
  EXPECT_EQ(titles, (std::vector<std::string>{"Tellak Orvane"}));
  EXPECT_EQ(files->voiceName(), "Strings");

  titles.clear();
  ASSERT_TRUE(files->WriteVoiceFile(files->tempVoicePath()));
  EXPECT_EQ(files->ReadVoiceFile(files->tempVoicePath()), VoiceReadResult::Loaded);
  EXPECT_TRUE(titles.empty());
  EXPECT_EQ(files->voiceName(), "Strings");
}

TEST_F(VoiceFilesTest, UnreadableFileGivesTheDefaultVoiceWithoutTitleChange) {
  tone->voice = SomeVoice();
  EXPECT_EQ(files->ReadVoiceFile(dir.File("nowhere.orvane")), VoiceReadResult::DefaultVoice);
  EXPECT_EQ(tone->voice, Voice::Default());
  tone->voice = SomeVoice();
  EXPECT_EQ(files->ReadVoiceFile(dir.path().string()), VoiceReadResult::DefaultVoice);
  EXPECT_EQ(tone->voice, Voice::Default());
  EXPECT_TRUE(titles.empty());
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(VoiceFilesTest, ShortFileIsReportedAndChangesNothing) {
  tone->voice = SomeVoice();
  for (std::size_t size : {std::size_t{0}, std::size_t{7}, kVoiceFileSize - 1}) {
    messages.shown.clear();
    dir.Write("Short.orvane", std::string(size, '\x05'));
    EXPECT_EQ(files->ReadVoiceFile(dir.File("Short.orvane")), VoiceReadResult::TooShort);
    EXPECT_EQ(
        messages.shown,
        (std::vector<RecordingUserMessages::Shown>{
            {"Attempted to access an unnamed file past its end.", "Orvane", MessageIcon::Stop}}));
  }
  EXPECT_EQ(tone->voice, SomeVoice());
  EXPECT_TRUE(titles.empty());
  EXPECT_EQ(files->voiceName(), "");
}

}  // namespace
}  // namespace orvane::testing
