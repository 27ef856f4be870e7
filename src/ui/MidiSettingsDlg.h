#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QPushButton;

namespace orvane {

class CToneGen;

// "Midi Device Settings": picks the MIDI output and input devices, which switch as soon as they
// are chosen, turns the hardware keyboard on or off for the next start, and plays a test note.
class CMidiSettingsDlg : public QDialog {
  Q_OBJECT

 public:
  // Silences the output and fills the lists from the tone generator's device names.
  explicit CMidiSettingsDlg(CToneGen& toneGen, QWidget* parent = nullptr);

  // The check box's state, stored in the tone generator by OK.
  bool UseHardwareKeyboard() const { return useHardwareKeyboard != 0; }

  // OK: stores the check box in the tone generator, silences the output and closes.
  // Takes the keys the moment it is shown and hands them back before it hides, also without
  // a window manager.
  void setVisible(bool visible) override;
  void accept() override;
  // Cancel, Esc and the close box: silences the output and closes.
  void reject() override;

 private:
  void BuildControls();
  void InitControls();
  static void SelectPosition(QComboBox& list, int position);

  void OnUseHardwareKeyboardClicked(bool checked);
  void OnInputChosen(int position);
  void OnOutputChosen(int position);
  void OnListen();

  int outSelection = 0;
  int inSelection = 0;
  int useHardwareKeyboard = 0;
  CToneGen& toneGen;
  QComboBox* outCombo = nullptr;
  QComboBox* inCombo = nullptr;
  QCheckBox* useHardwareKeyboardCheck = nullptr;
  QPushButton* cancelButton = nullptr;
  QPushButton* listenButton = nullptr;
  QPushButton* okButton = nullptr;
};

}  // namespace orvane
