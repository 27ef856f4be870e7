#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QColor>
#include <QEvent>
#include <QTemporaryDir>

#include "RecordingMidiLayer.h"
#include "RecordingUserMessages.h"
#include "core/config/IniFile.h"
#include "ui/DesktopServices.h"
#include "ui/OrvaneApp.h"
#include "ui/QtUserMessages.h"

namespace orvane::testing {

// Answers the colour and file dialogs from a script and records what would have opened.
class ScriptedDesktop : public DesktopServices {
 public:
  std::optional<QColor> colorAnswer;
  std::optional<std::string> saveAnswer;
  std::optional<std::string> openAnswer;
  std::vector<std::string> saveInitialNames;
  std::vector<std::string> openedUrls;
  std::vector<std::string> modalDialogs;  // objectName or window title of each modal run

  std::optional<QColor> ChooseColor(QColor, QWidget*) override { return colorAnswer; }
  std::optional<std::string> SaveFileName(const std::string& initialName, QWidget*) override {
    saveInitialNames.push_back(initialName);
    return saveAnswer;
  }
  std::optional<std::string> OpenFileName(QWidget*) override { return openAnswer; }
  void OpenUrl(const std::string& address) override { openedUrls.push_back(address); }
  int RunModal(QDialog& dialog) override;
};

// Native X11 keycodes of the keys the tests press.
namespace x11 {
inline constexpr unsigned kQ = 24, kZ = 52, kN = 57, kComma = 59, kShiftL = 50, kShiftR = 62,
                          kCapsLock = 66, kReturn = 36, kSpace = 65, kInsert = 118, kDelete = 119,
                          kHome = 110, kEnd = 115, kPageUp = 112, kPageDown = 117, kF6 = 72,
                          kC = 54, kZKey = 52;
}

// A started program on a fresh settings directory, with recording MIDI and messages.
class AppTest : public ::testing::Test {
 protected:
  AppTest();
  ~AppTest() override;

  // Starts the program; `arguments` after the program name.
  void Start(std::vector<std::string> arguments = {});
  // From the next Start on, messages are real message boxes instead of records (work them with
  // MessageBoxDriver).
  void ShowRealMessageBoxes() { shownMessages_ = &realMessages_; }
  // Closes the main window the way the user does and lets it be deleted.
  void Close();

  CMainFrame& frame() { return *app_->mainFrame(); }
  CChildView& view() { return frame().view(); }
  std::string Path(const std::string& name) const;
  void WriteFile(const std::string& name, const std::string& bytes) const;
  std::string ReadFile(const std::string& name) const;
  int IniValue(const char* section, const char* key, int fallback = -999) const;

  // A key as the window system delivers it: the press goes to the shortcuts first.
  void Press(int qtKey, unsigned nativeCode, Qt::KeyboardModifiers mods = Qt::NoModifier,
             unsigned nativeMods = 0, bool autoRepeat = false);
  void Release(int qtKey, unsigned nativeCode, Qt::KeyboardModifiers mods = Qt::NoModifier,
               unsigned nativeMods = 0, bool autoRepeat = false);
  void Tap(int qtKey, unsigned nativeCode, Qt::KeyboardModifiers mods = Qt::NoModifier);
  void Mouse(QEvent::Type type, Qt::MouseButton button, QPoint at);
  QPoint PianoKeyCentre(int key);
  QPoint ButtonCentre(int button);
  // The colour the window shows at a point of the view, read back from the window's pixels.
  QColor ShownAt(QPoint viewPoint);
  // The note-on and note-off messages sent since the last Clear, resets as 0.
  std::vector<ShortMessage> NotesAndResets() const;

  QTemporaryDir dir_;
  RecordingMidiLayer midi_;
  RecordingUserMessages messages_;
  QtUserMessages realMessages_;
  UserMessages* shownMessages_ = &messages_;
  ScriptedDesktop desktop_;
  std::unique_ptr<CIniFile> ini_;
  std::unique_ptr<COrvaneApp> app_;
};

constexpr ShortMessage NoteOn(int channel, int note) {
  return PackShortMessage(static_cast<std::uint8_t>(0x90 | channel),
                          static_cast<std::uint8_t>(note), 127);
}
constexpr ShortMessage NoteOff(int channel, int note) {
  return PackShortMessage(static_cast<std::uint8_t>(0x80 | channel),
                          static_cast<std::uint8_t>(note), 0);
}
inline constexpr ShortMessage kReset = 0;

}  // namespace orvane::testing
