#include "ui/SettingsDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <string>

#include "core/UserMessages.h"
#include "core/midi/ToneGen.h"
#include "core/texts/PatchNames.h"
#include "core/texts/Texts.h"
#include "core/voice/FieldReaders.h"
#include "ui/DialogControlIds.h"
#include "ui/QtDropDownList.h"
#include "ui/QtText.h"
#include "ui/X11Focus.h"

namespace orvane {

namespace {

// The note the Listen button plays: MIDI note 48 plus shifts and transpositions.
constexpr int kPreviewNote = 12;
// Rows an open patch list shows; a scroll bar reaches the rest.
constexpr int kVisiblePatches = 16;

QString ChannelText(int layer) {
  if (layer == ids::kDrumLayer) return QStringLiteral("Channel 10 (Drum Set)");
  return QStringLiteral("Channel %1").arg(layer + 1, 2, 10, QLatin1Char('0'));
}

QString IdName(int id) {
  return QString::number(id);
}

// Wide enough for a signed five-digit number, whatever the font and scale.
int NumberEditWidth(const QWidget& widget) {
  QFontMetrics metrics(widget.font());
  return metrics.horizontalAdvance(QStringLiteral("-00000")) +
         2 * widget.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &widget) + 8;
}

}  // namespace

CSettingsDlg::CSettingsDlg(CToneGen& toneGenerator, UserMessages& userMessages, QWidget* parent)
    : QDialog(parent), toneGen(toneGenerator), messages(userMessages) {
  toneGen.Reset();
  const Voice& voice = toneGen.voice;
  for (int i = 0; i < kLayerCount; ++i) {
    layerOn[i] = voice.layerOn[i] ? 1 : 0;
    patch[i] = voice.patch[i];
    transposition[i] = voice.transposition[i];
    volume[i] = voice.volume[i];
  }
  setWindowTitle(QStringLiteral("Voice Settings"));
  BuildControls();
  TransferToControls();
}

void CSettingsDlg::BuildControls() {
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(12);

  auto addHeading = [&](const char* text, int column, Qt::Alignment alignment) {
    grid->addWidget(new QLabel(QString::fromLatin1(text), this), 0, column, alignment);
  };
  addHeading("On/Off", 0, Qt::AlignLeft | Qt::AlignBottom);
  addHeading("Patch", 1, Qt::AlignLeft | Qt::AlignBottom);
  addHeading("Transposition", 2, Qt::AlignHCenter | Qt::AlignBottom);
  addHeading("Volume", 3, Qt::AlignHCenter | Qt::AlignBottom);

  QStringList instrumentNames;
  QStringList programNumbers;
  for (int program = 0; program < kPatchCount; ++program) {
    instrumentNames << ToQString(kPatchNames[program]);
    programNumbers << QString::number(program);
  }

  for (int i = 0; i < kLayerCount; ++i) {
    const int row = i + 1;
    auto* check = new QCheckBox(ChannelText(i), this);
    check->setObjectName(IdName(ids::kLayerOnCheck[i]));
    auto* list = new QComboBox(this);
    list->setObjectName(IdName(ids::kPatchList[i]));
    list->addItems(i == ids::kDrumLayer ? programNumbers : instrumentNames);
    ShowAsDropDownList(*list, kVisiblePatches);
    auto* transpositionEdit = new QLineEdit(this);
    transpositionEdit->setObjectName(IdName(ids::kTranspositionEdit[i]));
    auto* volumeEdit = new QLineEdit(this);
    volumeEdit->setObjectName(IdName(ids::kVolumeEdit[i]));
    // Screen readers name each field by its channel, as a sighted user reads it off the row.
    const QString channel = QStringLiteral("Channel %1 ").arg(i + 1, 2, 10, QLatin1Char('0'));
    list->setAccessibleName(channel + QStringLiteral("patch"));
    transpositionEdit->setAccessibleName(channel + QStringLiteral("transposition"));
    volumeEdit->setAccessibleName(channel + QStringLiteral("volume"));
    for (QLineEdit* edit : {transpositionEdit, volumeEdit}) {
      edit->setFixedWidth(NumberEditWidth(*edit));
      edit->setAlignment(Qt::AlignRight);
    }

    if (i == ids::kDrumLayer) {
      // The drum channel's longer label shares the row with a short list of bare numbers.
      auto* drumRow = new QHBoxLayout;
      drumRow->addWidget(check);
      drumRow->addStretch();
      drumRow->addWidget(list);
      grid->addLayout(drumRow, row, 0, 1, 2);
    } else {
      grid->addWidget(check, row, 0);
      grid->addWidget(list, row, 1);
    }
    grid->addWidget(transpositionEdit, row, 2, Qt::AlignHCenter);
    grid->addWidget(volumeEdit, row, 3, Qt::AlignHCenter);

    layerOnChecks[i] = check;
    patchLists[i] = list;
    transpositionEdits[i] = transpositionEdit;
    volumeEdits[i] = volumeEdit;
  }

  listenButton = new QPushButton(QStringLiteral("&Listen (Alt + L)"), this);
  listenButton->setObjectName(IdName(ids::kListenVoice));
  muteButton = new QPushButton(QStringLiteral("&Mute (Alt + M)"), this);
  muteButton->setObjectName(IdName(ids::kMute));
  applyButton = new QPushButton(QStringLiteral("&Apply and Exit\n     (Alt + A)"), this);
  applyButton->setObjectName(IdName(ids::kOk));
  exitButton = new QPushButton(QStringLiteral("E&xit (Alt + X)"), this);
  exitButton->setObjectName(IdName(ids::kCancel));
  // Enter in any field previews the voice; it never closes the dialog.
  listenButton->setDefault(true);

  // Tall buttons beside the rows, Listen the largest, as the player reaches for it most.
  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(12);
  const std::pair<QPushButton*, int> buttonShares[] = {
      {listenButton, 107}, {muteButton, 61}, {applyButton, 61}, {exitButton, 61}};
  for (const auto& [button, share] : buttonShares) {
    button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    buttons->addWidget(button, share);
  }

  auto* top = new QHBoxLayout(this);
  top->addLayout(grid);
  top->addSpacing(8);
  top->addLayout(buttons);
  top->setSizeConstraint(QLayout::SetFixedSize);

  connect(listenButton, &QPushButton::clicked, this, &CSettingsDlg::OnListen);
  connect(muteButton, &QPushButton::clicked, this, &CSettingsDlg::OnMute);
  connect(applyButton, &QPushButton::clicked, this, &CSettingsDlg::accept);
  connect(exitButton, &QPushButton::clicked, this, &CSettingsDlg::reject);

  // Keyboard order follows reading order: row by row, then the buttons from the top.
  QWidget* previous = nullptr;
  auto chain = [&previous](QWidget* next) {
    if (previous != nullptr) QWidget::setTabOrder(previous, next);
    previous = next;
  };
  for (int i = 0; i < kLayerCount; ++i) {
    chain(layerOnChecks[i]);
    chain(patchLists[i]);
    chain(transpositionEdits[i]);
    chain(volumeEdits[i]);
  }
  for (QPushButton* button : {listenButton, muteButton, applyButton, exitButton}) chain(button);
}

void CSettingsDlg::TransferToControls() {
  for (int i = 0; i < kLayerCount; ++i) {
    layerOnChecks[i]->setChecked(layerOn[i] != 0);
    // Only a voice file can hold a patch above 127; its list then shows no selection.
    patchLists[i]->setCurrentIndex(patch[i] >= 0 && patch[i] < kPatchCount ? patch[i] : -1);
    transpositionEdits[i]->setText(QString::number(transposition[i]));
    volumeEdits[i]->setText(QString::number(volume[i]));
  }
}

bool CSettingsDlg::ReadControls() {
  std::array<int, kLayerCount> newLayerOn{};
  std::array<int, kLayerCount> newPatch{};
  std::array<int, kLayerCount> newTransposition{};
  std::array<std::uint8_t, kLayerCount> newVolume{};

  for (int i = 0; i < kLayerCount; ++i) newLayerOn[i] = layerOnChecks[i]->isChecked() ? 1 : 0;
  for (int i = 0; i < kLayerCount; ++i) newPatch[i] = patchLists[i]->currentIndex();
  for (int i = 0; i < kLayerCount; ++i) {
    const FieldRead read = ReadTransposition(transpositionEdits[i]->text().toStdString());
    if (!read.Succeeded()) {
      ReportInvalidField(*transpositionEdits[i], read.message);
      return false;
    }
    newTransposition[i] = *read.value;
  }
  for (int i = 0; i < kLayerCount; ++i) {
    // The reading step, then the range step, before the next channel's volume.
    const FieldRead read = ReadVolume(volumeEdits[i]->text().toStdString());
    if (!read.Succeeded()) {
      ReportInvalidField(*volumeEdits[i], read.message);
      return false;
    }
    newVolume[i] = static_cast<std::uint8_t>(*read.value);
  }

  layerOn = newLayerOn;
  patch = newPatch;
  transposition = newTransposition;
  volume = newVolume;
  return true;
}

void CSettingsDlg::ReportInvalidField(QLineEdit& field, const std::string& message) {
  messages.ShowOwnedMessage(message, texts::kAppTitle, MessageIcon::Warning);
  field.setFocus(Qt::OtherFocusReason);
  field.selectAll();
}

void CSettingsDlg::ApplyToToneGen() {
  Voice& voice = toneGen.voice;
  for (int i = 0; i < kLayerCount; ++i) {
    voice.layerOn[i] = layerOn[i] != 0;
    // A list without selection keeps the layer's patch: its position (-1) is no program.
    if (patch[i] >= 0) voice.patch[i] = static_cast<std::uint8_t>(patch[i] & 0xFF);
    voice.transposition[i] = transposition[i];
    voice.volume[i] = volume[i];
  }
  toneGen.SendProgramsAndVolumes();
}

void CSettingsDlg::OnListen() {
  toneGen.Reset();
  if (!ReadControls()) return;
  ApplyToToneGen();
  toneGen.MouseNote(kPreviewNote);
}

void CSettingsDlg::OnMute() {
  toneGen.Reset();
}

void CSettingsDlg::accept() {
  toneGen.Reset();
  if (!ReadControls()) return;
  ApplyToToneGen();
  QDialog::accept();
}

void CSettingsDlg::reject() {
  toneGen.Reset();
  QDialog::reject();
}

void CSettingsDlg::setVisible(bool visible) {
  if (!visible) PassX11FocusOnHide(*this);
  QDialog::setVisible(visible);
  if (visible) TakeX11FocusWhenShown(*this);
}

}  // namespace orvane
