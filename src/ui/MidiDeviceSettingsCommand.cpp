#include "ui/MidiDeviceSettingsCommand.h"

#include "core/midi/ToneGen.h"
#include "ui/MidiSettingsDlg.h"

namespace orvane {

namespace {

// The lists stay as the dialog shows them while it is open; what changed meanwhile is applied
// when it closes.
class HeldDeviceLists {
 public:
  explicit HeldDeviceLists(CToneGen& toneGen) : toneGen_(toneGen) {
    toneGen_.HoldDeviceLists(true);
  }
  ~HeldDeviceLists() { toneGen_.HoldDeviceLists(false); }
  HeldDeviceLists(const HeldDeviceLists&) = delete;
  HeldDeviceLists& operator=(const HeldDeviceLists&) = delete;

 private:
  CToneGen& toneGen_;
};

}  // namespace

void RunMidiDeviceSettingsCommand(CToneGen& toneGen, QWidget* parent) {
  toneGen.Reset();
  // The devices present now, whatever was plugged in or started since the last look.
  toneGen.RefreshDeviceLists();
  const HeldDeviceLists held(toneGen);
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
