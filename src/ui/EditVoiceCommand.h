#pragma once

class QWidget;

namespace orvane {

class CToneGen;
class UserMessages;
class VoiceFiles;

// "Edit voice": silences the output, saves the voice to the scratch file, shows the voice
// settings dialog over `parent`, and restores the saved voice unless the dialog applied its own.
void RunEditVoiceCommand(CToneGen& toneGen, VoiceFiles& voiceFiles, UserMessages& messages,
                         QWidget* parent);

}  // namespace orvane
