#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <string>

#include "core/voice/Voice.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace orvane {

class CToneGen;
class UserMessages;

// "Voice Settings": edits the 16 layers of the tone generator's voice. Listen previews the
// edited voice, Mute silences it, Apply and Exit keeps it, Exit (also Esc and the close box)
// leaves the tone generator's voice to the caller to restore.
class CSettingsDlg : public QDialog {
  Q_OBJECT

 public:
  // Takes the keys the moment it is shown and hands them back before it hides, also without
  // a window manager.
  void setVisible(bool visible) override;
  // Silences the output and copies the tone generator's voice into the dialog.
  CSettingsDlg(CToneGen& toneGen, UserMessages& messages, QWidget* parent = nullptr);

  // Apply and Exit: reads the controls and, when they are all valid, applies them and closes.
  void accept() override;
  // Exit, Esc and the close box: silences the output and closes without applying.
  void reject() override;

 private:
  void BuildControls();
  void TransferToControls();
  // Reads every control in the fixed order; the first invalid one is reported, focused with its
  // text selected, and ends the read with false.
  bool ReadControls();
  // Puts the dialog's voice into the tone generator and sends programs and volumes.
  void ApplyToToneGen();
  void ReportInvalidField(QLineEdit& field, const std::string& message);

  void OnListen();
  void OnMute();

  CToneGen& toneGen;
  UserMessages& messages;

  // The dialog's own copy of the voice, in the widths the controls need. A patch of -1 is a
  // list without selection.
  std::array<int, kLayerCount> layerOn{};
  std::array<int, kLayerCount> patch{};
  std::array<int, kLayerCount> transposition{};
  std::array<std::uint8_t, kLayerCount> volume{};

  std::array<QCheckBox*, kLayerCount> layerOnChecks{};
  std::array<QComboBox*, kLayerCount> patchLists{};
  std::array<QLineEdit*, kLayerCount> transpositionEdits{};
  std::array<QLineEdit*, kLayerCount> volumeEdits{};
  QPushButton* listenButton = nullptr;
  QPushButton* muteButton = nullptr;
  QPushButton* applyButton = nullptr;
  QPushButton* exitButton = nullptr;
};

}  // namespace orvane
