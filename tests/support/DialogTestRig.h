#pragma once

#include <QDir>
#include <QWidget>
#include <cstdlib>

#include "RecordingMidiLayer.h"
#include "RecordingUserMessages.h"
#include "TempDir.h"
#include "config/IniFile.h"
#include "midi/ToneGen.h"

namespace orvane::testing {

// A tone generator on the recording MIDI layer, with its settings in a fresh directory. Its
// messages are recorded, or shown as real message boxes with QtUserMessages.
template <typename Messages = RecordingUserMessages>
struct BasicToneGenRig {
  TempDir directory;
  RecordingMidiLayer midi;
  Messages messages;
  CIniFile iniFile{directory.path().string()};
  CToneGen toneGen{midi, messages, iniFile};

  std::string PathOf(const char* name) const { return directory.File(name); }
};
using ToneGenRig = BasicToneGenRig<>;

// Saves a picture of `widget` as `fileName` in $ORVANE_SCREENSHOT_DIR when that is set.
inline void SaveScreenshotIfAsked(QWidget& widget, const char* fileName) {
  const char* directory = std::getenv("ORVANE_SCREENSHOT_DIR");
  if (directory == nullptr || *directory == '\0') return;
  widget.grab().save(QDir(QString::fromLocal8Bit(directory)).filePath(fileName));
}

}  // namespace orvane::testing
