#include "core/voice/VoiceFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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

// Seen with a FIFO named as the voice to start with: the program hung before any window. A FIFO,
// a device or a folder is a file that cannot be read: the default voice, at once.
TEST_F(VoiceFilesTest, WhatIsNoRegularFileGivesTheDefaultVoiceWithoutWaiting) {
  ASSERT_EQ(::mkfifo(dir.File("Pipe.orvane").c_str(), 0600), 0);
  for (const std::string& path :
       {dir.File("Pipe.orvane"), std::string("/dev/zero"), std::string("/dev/null")}) {
    SCOPED_TRACE(path);
    tone->voice = voice;
    EXPECT_EQ(files->ReadVoiceFile(path), VoiceReadResult::DefaultVoice);
    EXPECT_EQ(tone->voice, Voice::Default());
  }
  // Lying where the working voice is, it is neither read nor replaced.
  std::filesystem::rename(dir.File("Pipe.orvane"), files->workingVoicePath());
  EXPECT_EQ(files->ReadStartingVoice({"orvane"}), VoiceReadResult::DefaultVoice);
  EXPECT_FALSE(files->SaveWorkingVoice());
  EXPECT_TRUE(std::filesystem::is_fifo(files->workingVoicePath()));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(titles.empty());
}

// Seen with a mistyped voice in a launcher: the default voice was written over the player's
// working voice at exit. An argument that cannot be read leaves that file as it is, until the
// player loads a voice or changes the one the start gave.
TEST_F(VoiceFilesTest, VoiceArgumentThatCannotBeReadLeavesTheWorkingVoiceFile) {
  CSettingsBank bank;
  bank.voice = voice;
  const auto stored = bank.Store();
  const std::string own(stored.begin(), stored.end());
  bank.voice = Voice::Default();
  const auto defaultStored = bank.Store();
  const std::string defaultBytes(defaultStored.begin(), defaultStored.end());
  dir.Write("Empty.orvane", "");
  dir.Write("Short.orvane", std::string(50, '\x05'));
  dir.Write("Locked.orvane", own);
  std::filesystem::permissions(dir.File("Locked.orvane"), std::filesystem::perms::none);
  ASSERT_EQ(::mkfifo(dir.File("Pipe.orvane").c_str(), 0600), 0);
  const bool root = RunningAsRoot();  // root reads a file of mode 0 all the same
  enum class During { Nothing, Edit, EditUndone, Load, LoadUnreadable };
  for (const char* argument :
       {"Missing.orvane", "Empty.orvane", "Short.orvane", "Locked.orvane", "Pipe.orvane"}) {
    if (root && std::string(argument) == "Locked.orvane") continue;
    for (During during : {During::Nothing, During::Edit, During::EditUndone, During::Load,
                          During::LoadUnreadable}) {
      SCOPED_TRACE(std::string(argument) + " " + std::to_string(static_cast<int>(during)));
      dir.Write("Orvane.orvset", own);
      VoiceFiles run(files->workingVoicePath(), files->tempVoicePath(), *tone, messages, {});
      run.ReadStartingVoice({"orvane", dir.File(argument)});
      EXPECT_EQ(tone->voice, Voice::Default());
      std::string expected = own;
      switch (during) {
        case During::Nothing:
          break;
        case During::Edit:
          tone->voice.volume[0] = 77;
          expected = "";
          break;
        case During::EditUndone:  // the Listen button, then Cancel
          ASSERT_TRUE(run.WriteVoiceFile(run.tempVoicePath()));
          tone->voice.volume[0] = 77;
          ASSERT_EQ(run.ReadVoiceFile(run.tempVoicePath()), VoiceReadResult::Loaded);
          break;
        case During::Load:
          dir.Write("Loaded.orvane", defaultBytes);
          ASSERT_EQ(run.ReadVoiceFile(dir.File("Loaded.orvane")), VoiceReadResult::Loaded);
          expected = defaultBytes;
          break;
        case During::LoadUnreadable:
          ASSERT_EQ(run.ReadVoiceFile(dir.File("Gone.orvane")), VoiceReadResult::DefaultVoice);
          expected = defaultBytes;
          break;
      }
      const bool written = run.SaveWorkingVoice();
      EXPECT_EQ(written, expected != own);
      if (during == During::Edit) {
        EXPECT_EQ(Read("Orvane.orvset")[1], '\x4D');  // volume 77
      } else {
        EXPECT_EQ(Read("Orvane.orvset"), expected);
      }
    }
  }
  // An argument that was read, or no argument at all, keeps the usual exit write.
  dir.Write("Orvane.orvset", std::string(50, '\x05'));
  EXPECT_EQ(files->ReadStartingVoice({"orvane"}), VoiceReadResult::TooShort);
  EXPECT_TRUE(files->SaveWorkingVoice());
  EXPECT_EQ(Read("Orvane.orvset"), defaultBytes);
  dir.Write("Given.orvane", own);
  EXPECT_EQ(files->ReadStartingVoice({"orvane", dir.File("Given.orvane")}),
            VoiceReadResult::Loaded);
  EXPECT_TRUE(files->SaveWorkingVoice());
  EXPECT_EQ(Read("Orvane.orvset"), own);
}

// Seen with a working voice linked into a synced folder: the exit write replaced the link.
TEST_F(VoiceFilesTest, LinkedWorkingVoiceAndSavedVoiceStayLinks) {
  namespace fs = std::filesystem;
  fs::create_directory(dir.path() / "synced");
  fs::create_symlink("synced/Mine.orvset", files->workingVoicePath());
  dir.Write("synced/Organ.orvane", std::string(kVoiceFileSize, '\0'));
  fs::create_symlink(dir.path() / "synced" / "Organ.orvane", dir.path() / "Organ.orvane");
  tone->voice = voice;
  EXPECT_TRUE(files->SaveWorkingVoice());
  EXPECT_TRUE(files->WriteVoiceFile(dir.File("Organ.orvane")));
  EXPECT_TRUE(fs::is_symlink(files->workingVoicePath()));
  EXPECT_TRUE(fs::is_symlink(dir.path() / "Organ.orvane"));
  EXPECT_EQ(Read("synced/Mine.orvset"), Read("synced/Organ.orvane"));
  tone->voice = Voice::Default();
  EXPECT_EQ(files->ReadStartingVoice({"orvane"}), VoiceReadResult::Loaded);
  EXPECT_EQ(tone->voice, voice);
}

}  // namespace
}  // namespace orvane::testing
