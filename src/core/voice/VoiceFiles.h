#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/voice/SettingsBank.h"

namespace orvane {

class CToneGen;
class UserMessages;

enum class VoiceReadResult {
  Loaded,        // the file's voice is now in the tone generator
  DefaultVoice,  // the file could not be opened: the default voice replaced the layers
  TooShort,      // fewer than 112 bytes: error shown, layers unchanged, caller stops
};

// The view's voice file operations: the working and scratch voice paths, the voice name and the
// window title rule. Sends nothing; callers follow a read with SendProgramsAndVolumes.
class VoiceFiles {
 public:
  using TitleSetter = std::function<void(const std::string& title)>;

  VoiceFiles(std::string workingVoicePath, std::string tempVoicePath, CToneGen& toneGen,
             UserMessages& messages, TitleSetter setTitle);

  // Copies the tone generator's voice into the bank and writes it (atomically) to `path`.
  // False when the file could not be written; the title then stays as it was.
  bool WriteVoiceFile(const std::string& path);
  // Only a regular file is read; anything else (a FIFO, a device, a folder) is a file that
  // cannot be opened, found so without waiting on it.
  VoiceReadResult ReadVoiceFile(const std::string& path);

  // The start-up read: the first argument after the program when there is one, else the working
  // voice. A file cut short has been reported and leaves the default voice.
  VoiceReadResult ReadStartingVoice(const std::vector<std::string>& arguments);
  // The exit write of the working voice. A voice argument that could not be read leaves the
  // working voice file as it was, unless the player has loaded a voice or changed the one the
  // start gave: that file holds the player's own voice, the default voice is no loss.
  bool SaveWorkingVoice();

  const std::string& workingVoicePath() const { return workingVoicePath_; }
  const std::string& tempVoicePath() const { return tempVoicePath_; }
  const std::string& voiceName() const { return voiceName_; }

 private:
  void ApplyTitleRule(const std::string& path);

  std::string workingVoicePath_;
  std::string tempVoicePath_;
  std::string voiceName_;
  // Set while the working voice file must stay: the voice argument could not be read and the
  // voice is still the one the start gave, `startingVoice_`.
  bool keepWorkingVoice_ = false;
  Voice startingVoice_;
  CToneGen& toneGen_;
  UserMessages& messages_;
  TitleSetter setTitle_;
  CSettingsBank bank_;
};

}  // namespace orvane
