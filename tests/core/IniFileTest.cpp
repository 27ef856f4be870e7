#include "core/config/IniFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>

#include "LockedFolder.h"
#include "ScopedEnvironment.h"
#include "TempDir.h"
#include "core/config/TextEncoding.h"

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

  // The nine keys the view writes when its window is destroyed, in its order.
  static constexpr IniEntry kShutdownEntries[] = {
      {"COMMON_SETTINGS", "PRESSEDKEYCOLOR", 12566463},
      {"COMMON_SETTINGS", "ISHARDWAREMIDIKBDENABLED", 0},
      {"COMMON_SETTINGS", "MIDIOUTDEVINDEX", 2},
      {"COMMON_SETTINGS", "MIDIINDEVINDEX", 1},
      {"COMMON_SETTINGS", "KEYBOARDTYPE", 0},
      {"POSITION", "LEFT", -1280},
      {"POSITION", "TOP", 100},
      {"POSITION", "RIGHT", -558},
      {"POSITION", "BOTTOM", 250}};

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

// Seen after kills during the exit save: the file was half new, half old, as each key was its
// own replacement. All nine are one replacement now, with the very text the nine writes give.
TEST_F(IniFileTest, ShutdownKeysWrittenAsOneGiveTheTextOfTheSingleWrites) {
  const std::string utf16Text =
      EncodeText({TextForm::Utf16LittleEndian,
                  "; Klänge 音 \xF0\x9D\x84\x9E\r\n[POSITION]\r\nLEFT=1\r\n",
                  {}});
  const std::string texts[] = {
      "",
      kNarrowDefaultText,
      "[COMMON_SETTINGS]\r\nMIDIOUTDEVINDEX=7\r\nKEYBOARDTYPE=1\r\n[POSITION]\r\n",
      "; comment\n[Other]\nLEFT=3\n\n[common_settings]\n  MidiOutDevIndex = 3\n; end\n\n[x]\ny=1",
      "\xEF\xBB\xBF[POSITION]\nTOP=4",
      utf16Text,
      EncodeText({TextForm::Utf16BigEndian, "[COMMON_SETTINGS]\nKEYBOARDTYPE=1\n", {}}),
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    WriteFileText(text);
    CIniFile single(dir_.string());
    WriteShutdownKeys(single);
    const std::string expected = FileText();

    WriteFileText(text);
    CIniFile batch(dir_.string());
    batch.PrepareFile(std::wstring_view(L"Orvane.ini"));
    EXPECT_TRUE(batch.WriteInts(kShutdownEntries));
    EXPECT_EQ(FileText(), expected);
    EXPECT_EQ(batch.ReadInt("POSITION", "LEFT", 0), -1280);
  }
  // A missing file is made with the wide form's text first, as by the single writes.
  fs::remove(IniPath());
  CIniFile batch(dir_.string());
  batch.PrepareFile(std::wstring_view(L"Orvane.ini"));
  EXPECT_TRUE(batch.WriteInts(kShutdownEntries));
  EXPECT_EQ(FileText(),
            "[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=2\nISHARDWAREMIDIKBDENABLED=0\n"
            "PRESSEDKEYCOLOR=12566463\nMIDIINDEVINDEX=1\nKEYBOARDTYPE=0\n"
            "[POSITION]\nLEFT=-1280\nTOP=100\nRIGHT=-558\nBOTTOM=250\n");
}

// Seen with a file saved by a Windows editor: every value was ignored and ASCII sections were
// appended to the UTF-16 text. Such a file is read, and written back in its own byte order.
TEST_F(IniFileTest, Utf16FileIsReadAndWrittenBackInItsOwnEncoding) {
  for (TextForm form : {TextForm::Utf16LittleEndian, TextForm::Utf16BigEndian}) {
    SCOPED_TRACE(form == TextForm::Utf16BigEndian ? "big endian" : "little endian");
    // A comment outside ASCII and beyond the 16-bit range, and a lone surrogate (a broken
    // editor's), come back as they were.
    const std::string loneSurrogate = "\xED\xA0\x80";
    WriteFileText(EncodeText({form,
                              "; Klänge 音 \xF0\x9D\x84\x9E " + loneSurrogate +
                                  "\r\n[COMMON_SETTINGS]\r\nKEYBOARDTYPE=1\r\n[POSITION]\r\n"
                                  "LEFT=-40\r\n",
                              {}}));
    CIniFile ini(dir_.string());
    ini.PrepareFile(std::wstring_view(L"Orvane.ini"));
    EXPECT_EQ(ini.ReadInt("COMMON_SETTINGS", "KEYBOARDTYPE", 0), 1);
    EXPECT_EQ(ini.ReadInt("POSITION", "LEFT", 0), -40);

    EXPECT_TRUE(ini.WriteInt("COMMON_SETTINGS", "KEYBOARDTYPE", 0));
    EXPECT_TRUE(ini.WriteInt("POSITION", "TOP", 7));
    const std::string bytes = FileText();
    EXPECT_EQ(bytes.substr(0, 2), form == TextForm::Utf16BigEndian ? "\xFE\xFF" : "\xFF\xFE");
    const DecodedText decoded = DecodeText(bytes);
    EXPECT_EQ(decoded.form, form);
    EXPECT_EQ(decoded.text, "; Klänge 音 \xF0\x9D\x84\x9E " + loneSurrogate +
                                "\r\n[COMMON_SETTINGS]\r\nKEYBOARDTYPE=0\r\n[POSITION]\r\n"
                                "LEFT=-40\r\nTOP=7\n");
    EXPECT_EQ(EncodeText(decoded), bytes) << "decoding loses nothing";
  }
  // A UTF-16 file of odd length keeps its last byte; a UTF-8 byte order mark stays.
  const std::string odd = EncodeText({TextForm::Utf16LittleEndian, "[POSITION]\n", {}}) + "x";
  EXPECT_EQ(EncodeText(DecodeText(odd)), odd);
  WriteFileText("\xEF\xBB\xBF[POSITION]\nLEFT=4\n");
  CIniFile ini(dir_.string());
  ini.PrepareFile(std::wstring_view(L"Orvane.ini"));
  EXPECT_TRUE(ini.WriteInt("POSITION", "LEFT", 5));
  EXPECT_EQ(FileText(), "\xEF\xBB\xBF[POSITION]\nLEFT=5\n");
}

TEST_F(IniFileTest, LinkedSettingsFileStaysALinkAndAFifoIsNeverWaitedOn) {
  // A link to a file not there yet (a synced folder): the file is made, the link stays.
  fs::create_directory(dir_ / "synced");
  fs::create_symlink("synced/Orvane.ini", IniPath());
  CIniFile ini(dir_.string());
  ini.PrepareFile(std::wstring_view(L"Orvane.ini"));
  EXPECT_EQ(ini.ReadInt("POSITION", "LEFT", 9), 9);
  EXPECT_TRUE(ini.WriteInts(kShutdownEntries));
  EXPECT_TRUE(fs::is_symlink(IniPath()));
  EXPECT_EQ(ini.ReadInt("POSITION", "LEFT", 0), -1280);

  // A FIFO reads as a missing file would and is never written.
  fs::remove(IniPath());
  ASSERT_EQ(::mkfifo(IniPath().c_str(), 0600), 0);
  EXPECT_EQ(ini.ReadInt("POSITION", "LEFT", 9), 9);
  EXPECT_FALSE(ini.WriteInts(kShutdownEntries));
  EXPECT_TRUE(fs::is_fifo(IniPath()));
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

// An installed copy shares its directory with every user. Run as root that directory is writable,
// and the settings once landed beside /usr/bin/orvane; now they go to the user's config.
TEST_F(IniFileTest, InstalledCopyKeepsItsSettingsPerUserEvenWhereItsDirectoryIsWritable) {
  const testing::ScopedEnvironment configHome("XDG_CONFIG_HOME", (dir_ / "config").string());
  const testing::ScopedEnvironment home("HOME", (dir_ / "home").string());
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
  const testing::ScopedEnvironment configHome("XDG_CONFIG_HOME", (dir_ / "plain-file").string());
  const testing::ScopedEnvironment home("HOME", (dir_ / "home").string());
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

// Seen with a portable copy in an immutable folder: its settings and voice beside it were
// ignored and the program started from defaults in ~/.config/orvane.
TEST_F(IniFileTest, ExecutableFolderTakingNoNewFilesIsUsedWhenItsSettingsCanBeWritten) {
  testing::TempDir configHome;
  fs::permissions(configHome.path(), fs::perms::all, fs::perm_options::replace);
  const testing::ScopedEnvironment config("XDG_CONFIG_HOME", configHome.path().string());
  const std::string perUser = (configHome.path() / "orvane").string();
  const std::string settings = "[COMMON_SETTINGS]\nKEYBOARDTYPE=1\n";
  for (bool withVoice : {true, false}) {
    SCOPED_TRACE(withVoice ? "settings and voice" : "settings without a voice");
    testing::ForEachFolderTakingNoNewFiles(
        dir_,
        [&] {
          fs::remove(dir_ / "Orvane.orvset");
          WriteFileText(settings);
          if (withVoice) std::ofstream(dir_ / "Orvane.orvset") << std::string(112, '\0');
        },
        [&] {
          CIniFile::SetExecutableDirectory(dir_.string());
          CIniFile ini;
          EXPECT_EQ(ini.GetDirectory(), withVoice ? dir_.string() : perUser);
          if (withVoice) {
            ini.PrepareFile(std::wstring_view(L"Orvane.ini"));
            EXPECT_EQ(ini.ReadInt("COMMON_SETTINGS", "KEYBOARDTYPE", 0), 1);
            EXPECT_TRUE(ini.WriteInt("COMMON_SETTINGS", "KEYBOARDTYPE", 0));
            EXPECT_EQ(FileText(), "[COMMON_SETTINGS]\nKEYBOARDTYPE=0\n");
          }
          CIniFile::SetExecutableDirectory("");
        });
  }
}

}  // namespace
}  // namespace orvane
