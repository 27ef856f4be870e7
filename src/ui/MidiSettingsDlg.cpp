#include "ui/MidiSettingsDlg.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/midi/ToneGen.h"
#include "ui/DialogControlIds.h"
#include "ui/QtDropDownList.h"
#include "ui/X11Focus.h"

namespace orvane {

namespace {

// The note the Listen button plays: MIDI note 48 plus shifts and transpositions.
constexpr int kTestNote = 12;
// Device names can be long; the closed lists show this many characters, the open list all.
constexpr int kVisibleNameLength = 32;
// Rows an open device list shows; a scroll bar reaches the rest.
constexpr int kVisibleDevices = 12;

QComboBox* MakeDeviceList(int id, QWidget* parent) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QString::number(id));
  list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  list->setMinimumContentsLength(kVisibleNameLength);
  ShowAsDropDownList(*list, kVisibleDevices);
  return list;
}

void FillList(QComboBox& list, const std::vector<std::string>& names) {
  for (const std::string& name : names) list.addItem(QString::fromStdString(name));
  // Let the open list show whole names even when the closed box cuts them short.
  list.view()->setMinimumWidth(list.view()->sizeHintForColumn(0) + 24);
}

}  // namespace

CMidiSettingsDlg::CMidiSettingsDlg(CToneGen& toneGenerator, QWidget* parent)
    : QDialog(parent), toneGen(toneGenerator) {
  toneGen.Reset();
  setWindowTitle(QStringLiteral("Midi Device Settings"));
  BuildControls();
  InitControls();
}

void CMidiSettingsDlg::BuildControls() {
  useHardwareKeyboardCheck = new QCheckBox(
      QStringLiteral("Use hardware MIDI keyboard (to take effect restart program)"), this);
  useHardwareKeyboardCheck->setObjectName(QString::number(ids::kUseHardwareKeyboard));
  inCombo = MakeDeviceList(ids::kInputDeviceList, this);
  outCombo = MakeDeviceList(ids::kOutputDeviceList, this);
  auto* inLabel = new QLabel(QStringLiteral("Select midi input device:"), this);
  inLabel->setBuddy(inCombo);
  auto* outLabel = new QLabel(QStringLiteral("Select midi output device:"), this);
  outLabel->setBuddy(outCombo);

  cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  cancelButton->setObjectName(QString::number(ids::kCancel));
  listenButton = new QPushButton(QStringLiteral("Listen"), this);
  listenButton->setObjectName(QString::number(ids::kListenDevice));
  okButton = new QPushButton(QStringLiteral("OK"), this);
  okButton->setObjectName(QString::number(ids::kOk));
  okButton->setDefault(true);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cancelButton);
  buttons->addStretch();
  buttons->addWidget(listenButton);
  buttons->addWidget(okButton);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(useHardwareKeyboardCheck);
  layout->addSpacing(8);
  layout->addWidget(inLabel);
  layout->addWidget(inCombo);
  layout->addSpacing(4);
  layout->addWidget(outLabel);
  layout->addWidget(outCombo);
  layout->addSpacing(12);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  setTabOrder(useHardwareKeyboardCheck, inCombo);
  setTabOrder(inCombo, outCombo);
  setTabOrder(outCombo, cancelButton);
  setTabOrder(cancelButton, listenButton);
  setTabOrder(listenButton, okButton);

  connect(useHardwareKeyboardCheck, &QCheckBox::clicked, this,
          &CMidiSettingsDlg::OnUseHardwareKeyboardClicked);
  // `activated` comes only from the user, never from filling or selecting in code.
  connect(inCombo, &QComboBox::activated, this, &CMidiSettingsDlg::OnInputChosen);
  connect(outCombo, &QComboBox::activated, this, &CMidiSettingsDlg::OnOutputChosen);
  connect(listenButton, &QPushButton::clicked, this, &CMidiSettingsDlg::OnListen);
  connect(okButton, &QPushButton::clicked, this, &CMidiSettingsDlg::accept);
  connect(cancelButton, &QPushButton::clicked, this, &CMidiSettingsDlg::reject);
}

void CMidiSettingsDlg::InitControls() {
  useHardwareKeyboard = toneGen.hardwareKeyboardEnabled != 0 ? 1 : 0;
  FillList(*inCombo, toneGen.inDeviceNames);
  inCombo->setEnabled(useHardwareKeyboard != 0);
  FillList(*outCombo, toneGen.outDeviceNames);
  outSelection = toneGen.outDeviceIndex;
  inSelection = toneGen.inDeviceIndex;
  SelectPosition(*inCombo, inSelection);
  SelectPosition(*outCombo, outSelection);
  useHardwareKeyboardCheck->setChecked(useHardwareKeyboard != 0);
}

void CMidiSettingsDlg::SelectPosition(QComboBox& list, int position) {
  list.setCurrentIndex(position >= 0 && position < list.count() ? position : -1);
}

void CMidiSettingsDlg::OnUseHardwareKeyboardClicked(bool checked) {
  useHardwareKeyboard = checked ? 1 : 0;
  inCombo->setEnabled(checked);
}

void CMidiSettingsDlg::OnInputChosen(int position) {
  inSelection = position;
  toneGen.ChangeMidiInDev(inSelection);
  // A device that fails to open falls back to device 0; the list shows what is really open.
  inSelection = toneGen.inDeviceIndex;
  SelectPosition(*inCombo, inSelection);
}

void CMidiSettingsDlg::OnOutputChosen(int position) {
  toneGen.Reset();
  outSelection = position;
  toneGen.ChangeMidiOutDev(outSelection);
  // A device that fails to open falls back to the default output; show that one.
  outSelection = toneGen.outDeviceIndex;
  SelectPosition(*outCombo, outSelection);
}

void CMidiSettingsDlg::OnListen() {
  toneGen.MouseNote(kTestNote);
}

void CMidiSettingsDlg::accept() {
  toneGen.hardwareKeyboardEnabled = useHardwareKeyboard;
  toneGen.Reset();
  QDialog::accept();
}

void CMidiSettingsDlg::reject() {
  toneGen.Reset();
  QDialog::reject();
}

void CMidiSettingsDlg::setVisible(bool visible) {
  if (!visible) PassX11FocusOnHide(*this);
  QDialog::setVisible(visible);
  if (visible) TakeX11FocusWhenShown(*this);
}

}  // namespace orvane
