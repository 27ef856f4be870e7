#include "ui/MidiDeviceSettingsCommand.h"

#include "core/midi/ToneGen.h"
#include "ui/MidiSettingsDlg.h"

namespace orvane {

void RunMidiDeviceSettingsCommand(CToneGen& toneGen, QWidget* parent) {
  toneGen.Reset();
  const int previousOutput = toneGen.outDeviceIndex;

  CMidiSettingsDlg dialog(toneGen, parent);
  if (dialog.exec() == QDialog::Accepted) {
    toneGen.Reset();
    toneGen.hardwareKeyboardEnabled = dialog.UseHardwareKeyboard() ? 1 : 0;
    return;
  }
  // Only the output is undone: it reopens and gets its programs and volumes again. An input
  // chosen in the dialog stays chosen.
  toneGen.Reset();
  toneGen.ChangeMidiOutDev(previousOutput);
}

}  // namespace orvane
