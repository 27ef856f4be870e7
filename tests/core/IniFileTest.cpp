#include "core/config/IniFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>

#include "LockedFolder.h"

namespace fs = std::filesystem;

namespace orvane {
namespace {

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    dir_ = fs::temp_directory_path() / ("orvane-ini-" + std::to_string(random()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
  }

  fs::path IniPath() const { return dir_ / "Orvane.ini"; }
  std::string FileText() const {
    std::ifstream in(IniPath(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  void WriteFileText(const std::string& text) const {
    std::ofstream(IniPath(), std::ios::binary) << text;
  }

  // What the view writes when its window is destroyed, in its order.
  static void WriteShutdownKeys(CIniFile& ini) {
    ini.PrepareFile(std::wstring_view(L"Orvane.ini"));
    ini.WriteInt("COMMON_SETTINGS", "PRESSEDKEYCOLOR", 12566463);
    ini.WriteInt("COMMON_SETTINGS", "ISHARDWAREMIDIKBDENABLED", 0);
    ini.WriteInt("COMMON_SETTINGS", "MIDIOUTDEVINDEX", 2);
    ini.WriteInt("COMMON_SETTINGS", "MIDIINDEVINDEX", 1);
    ini.WriteInt("COMMON_SETTINGS", "KEYBOARDTYPE", 0);
    ini.WriteInt("POSITION", "LEFT", -1280);
    ini.WriteInt("POSITION", "TOP", 100);
    ini.WriteInt("POSITION", "RIGHT", -558);
    ini.WriteInt("POSITION", "BOTTOM", 250);
  }

  fs::path dir_;
};

constexpr const char* kNarrowDefaultText =
    "[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=0\nMIDIINDEVINDEX=0\nISHARDWAREMIDIKBDENABLED=0\n"
    "[POSITION]\nLEFT=0\nTOP=0\nRIGHT=0\nBOTTOM=0\n";

TEST_F(IniFileTest, FirstStartThenFirstShutdown) {
  CIniFile ini(dir_.string());
  ini.PrepareFile(std::string_view("Orvane.ini"));
  EXPECT_EQ(FileText(), kNarrowDefaultText);
  EXPECT_EQ(ini.FilePath(), (dir_ / "Orvane.ini").string());
  EXPECT_EQ(ini.ReadInt("COMMON_SETTINGS", "MIDIOUTDEVINDEX", 5), 0);
  EXPECT_EQ(ini.ReadInt("COMMON_SETTINGS", "PRESSEDKEYCOLOR", 12566463), 12566463);

  WriteShutdownKeys(ini);
  EXPECT_EQ(FileText(),
            "[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=2\nMIDIINDEVINDEX=1\nISHARDWAREMIDIKBDENABLED=0\n"
            "PRESSEDKEYCOLOR=12566463\nKEYBOARDTYPE=0\n"
            "[POSITION]\nLEFT=-1280\nTOP=100\nRIGHT=-558\nBOTTOM=250\n");
  EXPECT_EQ(ini.ReadInt("POSITION", "LEFT", 0), -1280);
  EXPECT_EQ(ini.ReadInt("POSITION", "RIGHT", 0), -558);
  EXPECT_EQ(ini.ReadInt("COMMON_SETTINGS", "MIDIINDEVINDEX", 0), 1);
}

TEST_F(IniFileTest, WideFormWritesEightLinesAndLaterAppendsTheInputKey) {
  CIniFile ini(dir_.string());
  ini.PrepareFile(std::wstring_view(L"Orvane.ini"));
  EXPECT_EQ(FileText(),
            "[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=0\nISHARDWAREMIDIKBDENABLED=0\n"
            "[POSITION]\nLEFT=0\nTOP=0\nRIGHT=0\nBOTTOM=0\n");
  EXPECT_EQ(ini.ReadInt("COMMON_SETTINGS", "MIDIINDEVINDEX", 0), 0);
  WriteShutdownKeys(ini);
  EXPECT_EQ(FileText(),
            "[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=2\nISHARDWAREMIDIKBDENABLED=0\n"
            "PRESSEDKEYCOLOR=12566463\nMIDIINDEVINDEX=1\nKEYBOARDTYPE=0\n"
            "[POSITION]\nLEFT=-1280\nTOP=100\nRIGHT=-558\nBOTTOM=250\n");
}

TEST_F(IniFileTest, PrepareFileNeverChangesAnExistingFile) {
  WriteFileText("");
  CIniFile ini(dir_.string());
  ini.PrepareFile(std::string_view("Orvane.ini"));
  ini.PrepareFile(std::wstring_view(L"Orvane.ini"));
  EXPECT_EQ(FileText(), "");
  EXPECT_EQ(ini.ReadInt("COMMON_SETTINGS", "PRESSEDKEYCOLOR", 12566463), 12566463);
  EXPECT_EQ(ini.ReadInt("POSITION", "LEFT", 0), 0);

  WriteShutdownKeys(ini);
  EXPECT_EQ(FileText(),
            "[COMMON_SETTINGS]\nPRESSEDKEYCOLOR=12566463\nISHARDWAREMIDIKBDENABLED=0\n"
            "MIDIOUTDEVINDEX=2\nMIDIINDEVINDEX=1\nKEYBOARDTYPE=0\n"
            "[POSITION]\nLEFT=-1280\nTOP=100\nRIGHT=-558\nBOTTOM=250\n");
}

TEST_F(IniFileTest, OtherSectionsCommentsAndSpacingSurviveByteForByte) {
  const std::string before =
      "; settings of my studio machine\n"
      "[Other]\n"
      "KEYBOARDTYPE=1\n"
      "\n"
      "[common_settings]\n"
      "  MidiOutDevIndex = 3   \n"
      "; the input is the USB keyboard\n"
      "MIDIINDEVINDEX=1\n"
      "\n"
      "; window\n"
      "[POSITION]\n"
      "LEFT=10\n"
      "[Trailing]\n"
      "x=1";
  WriteFileText(before);
  CIniFile ini(dir_.string());
  ini.PrepareFile(std::string_view("Orvane.ini"));
  EXPECT_EQ(FileText(), before);
  EXPECT_EQ(ini.ReadInt("COMMON_SETTINGS", "MIDIOUTDEVINDEX", 0), 3);
  EXPECT_EQ(ini.ReadInt("COMMON_SETTINGS", "KEYBOARDTYPE", 0), 0) << "key of another section";

  ini.WriteInt("COMMON_SETTINGS", "MIDIOUTDEVINDEX", 4);
  ini.WriteInt("COMMON_SETTINGS", "KEYBOARDTYPE", 1);
  ini.WriteInt("POSITION", "TOP", 20);
  ini.WriteInt("NEW", "A", 5);
  EXPECT_EQ(FileText(),
            "; settings of my studio machine\n"
            "[Other]\n"
            "KEYBOARDTYPE=1\n"
            "\n"
            "[common_settings]\n"
            "  MidiOutDevIndex =4\n"
            "; the input is the USB keyboard\n"
            "MIDIINDEVINDEX=1\n"
            "KEYBOARDTYPE=1\n"
            "\n"
            "; window\n"
            "[POSITION]\n"
            "LEFT=10\n"
            "TOP=20\n"
            "[Trailing]\n"
            "x=1\n"
            "[NEW]\n"
            "A=5\n");
}

TEST_F(IniFileTest, CrlfFileIsReadAndKeepsItsLineEnds) {
  WriteFileText("[COMMON_SETTINGS]\r\nMIDIOUTDEVINDEX=7\r\nKEYBOARDTYPE=1\r\n[POSITION]\r\n");
  CIniFile ini(dir_.string());
  ini.PrepareFile(std::string_view("Orvane.ini"));
  EXPECT_EQ(ini.ReadInt("COMMON_SETTINGS", "MIDIOUTDEVINDEX", 0), 7);
  EXPECT_EQ(ini.ReadInt("COMMON_SETTINGS", "KEYBOARDTYPE", 0), 1);
  ini.WriteInt("COMMON_SETTINGS", "MIDIOUTDEVINDEX", 12);
  ini.WriteInt("POSITION", "LEFT", -3);
  EXPECT_EQ(FileText(),
            "[COMMON_SETTINGS]\r\nMIDIOUTDEVINDEX=12\r\nKEYBOARDTYPE=1\r\n[POSITION]\r\nLEFT=-3\n");
  EXPECT_EQ(ini.ReadInt("POSITION", "LEFT", 0), -3);
}

TEST_F(IniFileTest, ValuesThatAreNoIntReadAsTheDefault) {
  WriteFileText(
      "[S]\nblank=\nword=abc\nlead= 42xyz\nplus=+8\nminus=-0012\nhuge=2147483648\n"
      "low=-2147483648\nquoted=\"9\"\nsign=-\nseven=7\n");
  CIniFile ini(dir_.string());
  ini.PrepareFile(std::string_view("Orvane.ini"));
  EXPECT_EQ(ini.ReadInt("S", "blank", -1), -1);
  EXPECT_EQ(ini.ReadInt("S", "word", -1), -1);
  EXPECT_EQ(ini.ReadInt("S", "lead", -1), 42);
  EXPECT_EQ(ini.ReadInt("S", "plus", -1), 8);
  EXPECT_EQ(ini.ReadInt("S", "minus", -1), -12);
  EXPECT_EQ(ini.ReadInt("S", "huge", -1), -1) << "must not wrap";
  EXPECT_EQ(ini.ReadInt("S", "low", -1), -2147483647 - 1);
  EXPECT_EQ(ini.ReadInt("S", "quoted", -1), 9);
  EXPECT_EQ(ini.ReadInt("S", "sign", -1), -1);
  // Mapping an unknown layout to the piano is the caller's business.
  EXPECT_EQ(ini.ReadInt("s", "SEVEN", 0), 7);
}

TEST_F(IniFileTest, EveryReadSeesTheFileAsItIsNow) {
  CIniFile ini(dir_.string());
  ini.PrepareFile(std::string_view("Orvane.ini"));
  WriteFileText("[POSITION]\nLEFT=5\n");
  EXPECT_EQ(ini.ReadInt("POSITION", "LEFT", 0), 5);
  fs::remove(IniPath());
  EXPECT_EQ(ini.ReadInt("POSITION", "LEFT", 0), 0);
  EXPECT_TRUE(ini.WriteInt("POSITION", "LEFT", 6)) << "a vanished file is created again";
  EXPECT_EQ(FileText(), "[POSITION]\nLEFT=6\n");
}

TEST_F(IniFileTest, NarrowAndWideNamesOutsideAsciiAddressTheSameFile) {
  const fs::path sub = dir_ / "Klänge-音";
  fs::create_directories(sub);
  CIniFile ini(sub.string());
  ini.PrepareFile(std::wstring_view(L"Orvané.ini"));
  EXPECT_TRUE(ini.WriteInt("POSITION", "TOP", 33));
  ini.PrepareFile(std::string_view("Orvané.ini"));
  EXPECT_EQ(ini.ReadInt("POSITION", "TOP", 0), 33);
  EXPECT_TRUE(fs::exists(sub / "Orvané.ini"));
  EXPECT_EQ(ini.GetDirectory(), sub.string());
}

TEST_F(IniFileTest, UnwritableLocationFailsQuietlyAndReadsDefaults) {
  // A regular file in place of the directory refuses every file below it, also to root.
  const fs::path notADirectory = dir_ / "plain-file";
  std::ofstream(notADirectory) << "x";
  CIniFile ini(notADirectory.string());
  ini.PrepareFile(std::string_view("Orvane.ini"));
  EXPECT_EQ(ini.ReadInt("COMMON_SETTINGS", "PRESSEDKEYCOLOR", 12566463), 12566463);
  EXPECT_FALSE(ini.WriteInt("COMMON_SETTINGS", "KEYBOARDTYPE", 1));
  EXPECT_EQ(ini.ReadInt("COMMON_SETTINGS", "KEYBOARDTYPE", 0), 0);

  CIniFile unprepared(dir_.string());
  EXPECT_FALSE(unprepared.WriteInt("POSITION", "LEFT", 1));
  EXPECT_EQ(unprepared.ReadInt("POSITION", "LEFT", 9), 9);
}

TEST_F(IniFileTest, ReadOnlyFileAndDirectoryAreLeftAlone) {
  CIniFile ini(dir_.string());
  ini.PrepareFile(std::string_view("Orvane.ini"));
  const fs::path missing = dir_ / "empty";
  fs::create_directories(missing);
  testing::HandToUnprivilegedUser(dir_);
  testing::RunUnprivileged([&] {
    fs::permissions(IniPath(), fs::perms::owner_read, fs::perm_options::replace);
    EXPECT_FALSE(ini.WriteInt("POSITION", "LEFT", 1));
    EXPECT_EQ(FileText(), kNarrowDefaultText);

    // Neither the read-only file in a read-only directory nor a new file there is written.
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);
    EXPECT_FALSE(ini.WriteInt("POSITION", "LEFT", 1));
    EXPECT_EQ(FileText(), kNarrowDefaultText);
    fs::permissions(missing, fs::perms::owner_read | fs::perms::owner_exec,
                    fs::perm_options::replace);
    CIniFile nowhere(missing.string());
    nowhere.PrepareFile(std::string_view("Orvane.ini"));
    EXPECT_FALSE(nowhere.WriteInt("POSITION", "LEFT", 1));
    EXPECT_EQ(nowhere.ReadInt("POSITION", "LEFT", 7), 7);
    EXPECT_FALSE(fs::exists(missing / "Orvane.ini"));
  });
}

TEST_F(IniFileTest, ShutdownWritesReachTheFileInAFolderThatTakesNoNewFiles) {
  testing::ForEachFolderTakingNoNewFiles(
      dir_, [&] { WriteFileText(kNarrowDefaultText); },
      [&] {
        CIniFile ini(dir_.string());
        WriteShutdownKeys(ini);
        EXPECT_EQ(FileText(),
                  "[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=2\nMIDIINDEVINDEX=1\n"
                  "ISHARDWAREMIDIKBDENABLED=0\nPRESSEDKEYCOLOR=12566463\nKEYBOARDTYPE=0\n"
                  "[POSITION]\nLEFT=-1280\nTOP=100\nRIGHT=-558\nBOTTOM=250\n");
        EXPECT_EQ(ini.ReadInt("POSITION", "RIGHT", 0), -558);
      });
}

TEST_F(IniFileTest, WriteKeepsPermissionsAndLeavesNoTemporaryFiles) {
  CIniFile ini(dir_.string());
  ini.PrepareFile(std::string_view("Orvane.ini"));
  fs::permissions(IniPath(), fs::perms::owner_read | fs::perms::owner_write,
                  fs::perm_options::replace);
  EXPECT_TRUE(ini.WriteInt("POSITION", "LEFT", 1));
  EXPECT_EQ(fs::status(IniPath()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  int files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_)) ++files;
  EXPECT_EQ(files, 1);
}

TEST_F(IniFileTest, SettingsDirectoryIsTheExecutablesWhenWritableElseThePerUserOne) {
  CIniFile::SetExecutableDirectory(dir_.string() + "/");
  EXPECT_EQ(CIniFile::ChooseSettingsDirectory(), dir_.string());
  EXPECT_EQ(CIniFile().GetDirectory(), dir_.string());

  const fs::path notADirectory = dir_ / "plain-file";
  std::ofstream(notADirectory) << "x";
  CIniFile::SetExecutableDirectory(notADirectory.string());
  const char* oldConfigHome = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = oldConfigHome ? oldConfigHome : "";
  ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
  EXPECT_EQ(CIniFile::ChooseSettingsDirectory(), (dir_ / "config" / "orvane").string());
  EXPECT_TRUE(fs::is_directory(dir_ / "config" / "orvane"));
  if (oldConfigHome) {
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
  CIniFile::SetExecutableDirectory("");
}

// Sets an environment variable for the length of a scope and restores what was there.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnvironment() {
    if (saved_) {
      ::setenv(name_, saved_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

// An installed copy shares its directory with every user. Run as root that directory is writable,
// and the settings once landed beside /usr/bin/orvane; now they go to the user's config.
TEST_F(IniFileTest, InstalledCopyKeepsItsSettingsPerUserEvenWhereItsDirectoryIsWritable) {
  const ScopedEnvironment configHome("XDG_CONFIG_HOME", (dir_ / "config").string());
  const ScopedEnvironment home("HOME", (dir_ / "home").string());
  const std::string perUser = (dir_ / "config" / "orvane").string();

  CIniFile::SetExecutableDirectory("/usr/bin");
  EXPECT_EQ(CIniFile::ChooseSettingsDirectory(), perUser);
  EXPECT_FALSE(fs::exists("/usr/bin/Orvane.ini"));

  // Reached through a link (/bin on a merged-/usr system, a link of the user's own).
  fs::create_directory_symlink("/usr/bin", dir_ / "bin-link");
  CIniFile::SetExecutableDirectory((dir_ / "bin-link").string());
  EXPECT_EQ(CIniFile::ChooseSettingsDirectory(), perUser);

  // The user's own ~/.local/bin is writable for everyone who can run the program from there.
  fs::create_directories(dir_ / "home" / ".local" / "bin");
  CIniFile::SetExecutableDirectory((dir_ / "home" / ".local" / "bin").string());
  EXPECT_EQ(CIniFile::ChooseSettingsDirectory(), perUser);
  EXPECT_TRUE(fs::is_empty(dir_ / "home" / ".local" / "bin"));

  // A writable folder of its own (a build tree, an unpacked archive) stays portable.
  fs::create_directories(dir_ / "unpacked" / "orvane-1.0");
  CIniFile::SetExecutableDirectory((dir_ / "unpacked" / "orvane-1.0").string());
  EXPECT_EQ(CIniFile::ChooseSettingsDirectory(), (dir_ / "unpacked" / "orvane-1.0").string());
  CIniFile::SetExecutableDirectory("");
}

TEST_F(IniFileTest, InstalledCopyWithoutAUsableConfigDirectoryWritesNothingBesideItself) {
  std::ofstream(dir_ / "plain-file") << "x";
  const ScopedEnvironment configHome("XDG_CONFIG_HOME", (dir_ / "plain-file").string());
  const ScopedEnvironment home("HOME", (dir_ / "home").string());
  const fs::path bin = dir_ / "home" / ".local" / "bin";
  fs::create_directories(bin);
  CIniFile::SetExecutableDirectory(bin.string());

  CIniFile ini;
  EXPECT_EQ(ini.GetDirectory(), (dir_ / "plain-file" / "orvane").string());
  ini.PrepareFile("Orvane.ini");
  EXPECT_FALSE(ini.WriteInt("COMMON_SETTINGS", "KEYBOARDTYPE", 1));
  EXPECT_EQ(ini.ReadInt("COMMON_SETTINGS", "KEYBOARDTYPE", 0), 0);
  EXPECT_TRUE(fs::is_empty(bin));
  CIniFile::SetExecutableDirectory("");
}

}  // namespace
}  // namespace orvane
