#pragma once

#include <functional>
#include <string>

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
  VoiceReadResult ReadVoiceFile(const std::string& path);

  const std::string& workingVoicePath() const { return workingVoicePath_; }
  const std::string& tempVoicePath() const { return tempVoicePath_; }
  const std::string& voiceName() const { return voiceName_; }

 private:
  void ApplyTitleRule(const std::string& path);

  std::string workingVoicePath_;
  std::string tempVoicePath_;
  std::string voiceName_;
  CToneGen& toneGen_;
  UserMessages& messages_;
  TitleSetter setTitle_;
  CSettingsBank bank_;
};

}  // namespace orvane
