#include "core/voice/VoiceFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "LockedFolder.h"
#include "ToneGenFixture.h"

namespace orvane::testing {
namespace {

using Strings = std::vector<std::string>;

class VoiceFilesTest : public ToneGenTest {
 protected:
  void SetUp() override {
    StartQuietly();
    files.emplace(dir.File("Orvane.orvset"), dir.File("temp.orvset"), *tone, messages,
                  [this](const std::string& title) { titles.push_back(title); });
    voice.layerOn[2] = true;
    voice.patch[2] = 40;
    voice.transposition[2] = -12;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(dir.path() / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  Strings FilesInDir() const {
    Strings names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::optional<VoiceFiles> files;
  Strings titles;
  Voice voice = Voice::Default();
};

TEST_F(VoiceFilesTest, WriteReplacesTheFileWholeAndNamesTheWindowAfterIt) {
  tone->voice = voice;
  ASSERT_TRUE(files->WriteVoiceFile(dir.File("Organ.orvane")));
  EXPECT_EQ(Read("Organ.orvane").substr(14, 7), std::string("\x28\x64\xF4\xFF\xFF\xFF\x01", 7));
  tone->voice = Voice::Default();
  ASSERT_TRUE(files->WriteVoiceFile(dir.File("Organ.orvane")));
  EXPECT_EQ(Read("Organ.orvane").size(), kVoiceFileSize);
  EXPECT_EQ(Read("Organ.orvane")[20], '\0');
  EXPECT_EQ(files->voiceName(), "Organ");
  EXPECT_EQ(titles, (Strings{"Organ - Tellak Orvane", "Organ - Tellak Orvane"}));

  // A write that cannot happen reports nothing, keeps the title and leaves no temporary file.
  std::filesystem::create_directories(dir.path() / "taken.orvane" / "inside");
  EXPECT_FALSE(files->WriteVoiceFile(dir.File("taken.orvane")));
  EXPECT_FALSE(files->WriteVoiceFile(dir.File("missing/Pad.orvane")));
  EXPECT_EQ(titles.size(), 2u);
  EXPECT_EQ(files->voiceName(), "Organ");
  EXPECT_EQ(FilesInDir(), (Strings{"Organ.orvane", "Orvane.ini", "taken.orvane"}));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(midi.events.empty());  // files send nothing
}

TEST_F(VoiceFilesTest, ReadTakesTheFirst112BytesAndTheNameWithoutEveryVoiceExtension) {
  CSettingsBank bank;
  bank.voice = voice;
  const auto stored = bank.Store();
  std::string bytes(stored.begin(), stored.end());
  dir.Write("a.orvane.orvane", bytes);
  dir.Write("Bass.ORVANE", bytes + std::string(88, '\x7F'));  // 200 bytes

  EXPECT_EQ(files->ReadVoiceFile(dir.File("Bass.ORVANE")), VoiceReadResult::Loaded);
  EXPECT_EQ(tone->voice, voice);
  EXPECT_EQ(files->voiceName(), "Bass.ORVANE");
  tone->voice = Voice::Default();
  EXPECT_EQ(files->ReadVoiceFile(dir.File("a.orvane.orvane")), VoiceReadResult::Loaded);
  EXPECT_EQ(tone->voice, voice);
  EXPECT_EQ(files->voiceName(), "a");
  EXPECT_EQ(titles, (Strings{"Bass.ORVANE - Tellak Orvane", "a - Tellak Orvane"}));
  std::filesystem::create_directory(dir.path() / "x.orvane");  // folders do not count
  ASSERT_TRUE(files->WriteVoiceFile(dir.File("x.orvane/my.orvaneset")));
  EXPECT_EQ(files->voiceName(), "myset");
}

TEST_F(VoiceFilesTest, WorkingAndScratchFilesKeepTheVoiceName) {
  ASSERT_TRUE(files->WriteVoiceFile(dir.File("Strings.orvane")));
  ASSERT_TRUE(files->WriteVoiceFile(files->workingVoicePath()));
  ASSERT_TRUE(files->WriteVoiceFile(files->tempVoicePath()));
  EXPECT_EQ(files->ReadVoiceFile(files->tempVoicePath()), VoiceReadResult::Loaded);
  EXPECT_EQ(titles, (Strings{"Strings - Tellak Orvane", "Tellak Orvane"}));
  EXPECT_EQ(files->voiceName(), "Strings");
}

TEST_F(VoiceFilesTest, UnreadableFileGivesTheDefaultVoiceShortFileChangesNothing) {
  tone->voice = voice;
  EXPECT_EQ(files->ReadVoiceFile(dir.File("nowhere.orvane")), VoiceReadResult::DefaultVoice);
  EXPECT_EQ(tone->voice, Voice::Default());
  tone->voice = voice;
  EXPECT_EQ(files->ReadVoiceFile(dir.path().string()), VoiceReadResult::DefaultVoice);
  EXPECT_EQ(tone->voice, Voice::Default());
  EXPECT_TRUE(messages.shown.empty());

  tone->voice = voice;
  for (std::size_t size : {std::size_t{0}, kVoiceFileSize - 1}) {
    dir.Write("Short.orvane", std::string(size, '\x05'));
    EXPECT_EQ(files->ReadVoiceFile(dir.File("Short.orvane")), VoiceReadResult::TooShort);
  }
  const RecordingUserMessages::Shown endOfFile{"Attempted to access an unnamed file past its end.",
                                               "Orvane", MessageIcon::Stop, true};
  EXPECT_EQ(messages.shown, (std::vector<RecordingUserMessages::Shown>{endOfFile, endOfFile}));
  EXPECT_EQ(tone->voice, voice);
  EXPECT_TRUE(titles.empty());
  EXPECT_EQ(files->voiceName(), "");
}

TEST_F(VoiceFilesTest, WorkingVoiceAndSavesReachExistingFilesInAFolderThatTakesNoNewFiles) {
  CSettingsBank bank;
  bank.voice = voice;
  const auto stored = bank.Store();
  const std::string bytes(stored.begin(), stored.end());
  ForEachFolderTakingNoNewFiles(
      dir.path(),
      [&] {
        dir.Write("Orvane.orvset", std::string(kVoiceFileSize, '\0'));
        dir.Write("Organ.orvane", std::string(kVoiceFileSize, '\0'));
        titles.clear();
      },
      [&] {
        tone->voice = voice;
        EXPECT_TRUE(files->WriteVoiceFile(files->workingVoicePath()));
        EXPECT_EQ(Read("Orvane.orvset"), bytes);
        EXPECT_TRUE(files->WriteVoiceFile(dir.File("Organ.orvane")));
        EXPECT_EQ(Read("Organ.orvane"), bytes);
        EXPECT_EQ(titles, (Strings{"Tellak Orvane", "Organ - Tellak Orvane"}));
        // A new file is not made; the title stays.
        EXPECT_FALSE(files->WriteVoiceFile(dir.File("Pad.orvane")));
        EXPECT_EQ(titles.size(), 2u);
        EXPECT_EQ(FilesInDir(), (Strings{"Organ.orvane", "Orvane.ini", "Orvane.orvset"}));
      });
}

}  // namespace
}  // namespace orvane::testing
