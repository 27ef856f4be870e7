#include "ui/EditVoiceCommand.h"

#include "core/midi/ToneGen.h"
#include "core/voice/VoiceFiles.h"
#include "ui/SettingsDlg.h"

namespace orvane {

void RunEditVoiceCommand(CToneGen& toneGen, VoiceFiles& voiceFiles, UserMessages& messages,
                         QWidget* parent) {
  toneGen.Reset();
  // The scratch file is the undo copy; the copy in memory stands in when that file could not be
  // written, so a cancelled edit never brings back a stale voice from an earlier run.
  const Voice before = toneGen.voice;
  const bool undoCopySaved = voiceFiles.WriteVoiceFile(voiceFiles.tempVoicePath());

  CSettingsDlg dialog(toneGen, messages, parent);
  if (dialog.exec() == QDialog::Accepted) return;  // the dialog applied and sent its voice

  if (undoCopySaved) {
    switch (voiceFiles.ReadVoiceFile(voiceFiles.tempVoicePath())) {
      case VoiceReadResult::Loaded:
        toneGen.SendProgramsAndVolumes();
        return;
      case VoiceReadResult::DefaultVoice:
      case VoiceReadResult::TooShort:
        break;  // the file vanished or was cut short since it was written
    }
  }
  toneGen.voice = before;
  toneGen.SendProgramsAndVolumes();
}

}  // namespace orvane
