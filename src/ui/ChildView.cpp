#include "ui/ChildView.h"

#include <string_view>

#include <QGuiApplication>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>

#include "core/config/IniFile.h"
#include "core/config/Settings.h"
#include "ui/CommandIds.h"
#include "ui/DesktopServices.h"
#include "ui/EditVoiceCommand.h"
#include "ui/Menu.h"
#include "ui/MidiDeviceSettingsCommand.h"

namespace orvane {
namespace {}  // namespace

CChildView::CChildView(const AppServices& services, QWidget* parent)
    : QWidget(parent),
      services_(services),
      toneGen_(services.midi, services.messages, services.iniFile),
      input_(toneGen_, *this),
      voiceFiles_(
          services.iniFile.GetDirectory() + "/" + std::string(settings::kWorkingVoiceFileName),
          services.iniFile.GetDirectory() + "/" + std::string(settings::kScratchVoiceFileName),
          toneGen_, services.messages, [this](const std::string& title) {
            window()->setWindowTitle(QString::fromStdString(title));
          }) {
  services_.iniFile.PrepareFile(settings::kWideFileName);
  pressedKeyColor_ = static_cast<std::uint32_t>(services_.iniFile.ReadInt(
      settings::kCommonSection, settings::kPressedKeyColor, settings::kDefaultPressedKeyColor));

  setObjectName("view");
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);  // the paint fills everything it is asked for
  setAttribute(Qt::WA_KeyCompression, false);
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("xcb")) {
    keyState_ = KeyState::X11;
  } else if (platform.startsWith(QLatin1String("wayland"))) {
    keyState_ = KeyState::Wayland;
  }
}

CChildView::~CChildView() = default;

void CChildView::OnCreate(const std::vector<std::string>& arguments, QMenu* keyboardSettingsMenu) {
  keyboardSettingsMenu_ = keyboardSettingsMenu;
  toneGen_.OpenMidiInput(*this);
  voiceFiles_.ReadStartingVoice(arguments);
  CIniFile& ini = services_.iniFile;
  ini.PrepareFile(settings::kWideFileName);
  toneGen_.SendProgramsAndVolumes();
  savedWindowRect = settings::ReadWindowRect(ini);
  SetKeyboardType(ini.ReadInt(settings::kCommonSection, settings::kKeyboardType, 0));
}

void CChildView::OnDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  voiceFiles_.SaveWorkingVoice();
  settings::Store(services_.iniFile,
                  settings::StoredSettings{
                      .pressedKeyColor = static_cast<int>(pressedKeyColor_),
                      .hardwareKeyboardEnabled = toneGen_.hardwareKeyboardEnabled,
                      .outDeviceIndex = toneGen_.outDeviceIndex,
                      .inDeviceIndex = toneGen_.inDeviceIndex,
                      .keyboardType = static_cast<int>(input_.keyboardType()),
                      .windowRect = savedWindowRect,
                  });
}

bool CChildView::OnCommand(int command) {
  switch (command) {
    case cmd::kSaveVoice:
      SaveVoice();
      return true;
    case cmd::kLoadVoice:
      LoadVoice();
      return true;
    case cmd::kEditVoice:
      RunEditVoiceCommand(toneGen_, voiceFiles_, services_.messages, window());
      return true;
    case cmd::kMidiDeviceSettings:
      RunMidiDeviceSettingsCommand(toneGen_, window());
      return true;
    case cmd::kOctaveUp:
      input_.OctaveUp();
      return true;
    case cmd::kOctaveDown:
      input_.OctaveDown();
      return true;
    case cmd::kOctaveStandard:
      input_.OctaveStandard();
      return true;
    case cmd::kSemitoneUp:
      input_.SemitoneUp();
      return true;
    case cmd::kSemitoneDown:
      input_.SemitoneDown();
      return true;
    case cmd::kSemitoneStandard:
      input_.SemitoneStandard();
      return true;
    case cmd::kPianoKeys:
      SetKeyboardType(static_cast<int>(KeyboardType::Piano));
      return true;
    case cmd::kAccordionKeys:
      SetKeyboardType(static_cast<int>(KeyboardType::Accordion));
      return true;
    case cmd::kPressedKeyColor:
      OnPressedKeyColor();
      return true;
    default:
      return false;
  }
}

void CChildView::SetKeyboardType(int type) {
  input_.SetKeyboardType(type);
  if (keyboardSettingsMenu_ != nullptr) {
    MarkRadioItem(*keyboardSettingsMenu_, static_cast<int>(input_.keyboardType()));
  }
}

void CChildView::OnPressedKeyColor() {
  const std::optional<QColor> chosen = services_.desktop.ChooseColor(QColor(0, 0, 0), window());
  if (!chosen) return;
  pressedKeyColor_ = WordFromColor(*chosen);
  InvalidateAll();
}

void CChildView::SaveVoice() {
  toneGen_.Reset();
  const std::optional<std::string> path =
      services_.desktop.SaveFileName(voiceFiles_.voiceName(), window());
  if (path) voiceFiles_.WriteVoiceFile(*path);
}

void CChildView::LoadVoice() {
  toneGen_.Reset();
  const std::optional<std::string> path = services_.desktop.OpenFileName(window());
  if (!path) return;
  if (voiceFiles_.ReadVoiceFile(*path) != VoiceReadResult::TooShort) {
    toneGen_.SendProgramsAndVolumes();
  }
}

void CChildView::OnMidiInput(ShortMessage message) {
  toneGen_.MidiThru(message);
}

// --- drawing ---------------------------------------------------------------------------------

// Key-level operations: record the look, then draw just those keys at once. While a full paint
// is pending it will draw every key released anyway, so only the record changes.
void CChildView::ShowNow(const QRect& area) {
  if (fullPaintPending_ || area.isEmpty() || !isVisible()) return;
  keyLevelArea_ = QRegion(area);
  repaint(area);
  keyLevelArea_ = QRegion();
}

void CChildView::ShowPianoKeys(const NoteList& keys, KeyLook look) {
  QRect area;
  for (int key : keys) {
    if (key < 0 || key >= kPianoKeyCount) continue;
    pianoLooks_[key] = look;
    area |= painter_.PianoKeyRect(key);
  }
  ShowNow(area);
}

void CChildView::ShowAccordionButton(int button, KeyLook look) {
  if (button < 0 || button >= kAccordionButtonCount) return;
  buttonLooks_[button] = look;
  ShowNow(painter_.ButtonRect(button));
}

void CChildView::PaintPianoKeysPressed(const NoteList& keys) {
  ShowPianoKeys(keys, KeyLook::Pressed);
}

void CChildView::PaintPianoKeysReleased(const NoteList& keys) {
  ShowPianoKeys(keys, KeyLook::Released);
}

void CChildView::PaintPianoKeyPressed(int key) {
  ShowPianoKeys(NoteList{key}, KeyLook::Pressed);
}

void CChildView::PaintAccordionButtonPressed(int button) {
  ShowAccordionButton(button, KeyLook::Pressed);
}

void CChildView::PaintAccordionButtonReleased(int button) {
  ShowAccordionButton(button, KeyLook::Released);
}

void CChildView::RepaintPianoKeys() {
  pianoLooks_.fill(KeyLook::Released);
  ShowNow(rect());
}

void CChildView::RepaintAccordionButtons() {
  buttonLooks_.fill(KeyLook::Released);
  ShowNow(rect());
}

void CChildView::InvalidateAll() {
  fullPaintPending_ = true;
  update();
}

void CChildView::resizeEvent(QResizeEvent* event) {
  painter_.SetClient(ClientRect{0, 0, width(), height()});
  QWidget::resizeEvent(event);
}

void CChildView::paintEvent(QPaintEvent* event) {
  const QRegion area = event->region();
  // Whatever this paint covers beyond the running key-level operation is a paint of the
  // window's own (resize, uncovering, layout switch, colour change): its keys show released.
  const QRegion systemArea = fullPaintPending_ ? QRegion(rect()) : area.subtracted(keyLevelArea_);
  const bool systemPaint = !systemArea.isEmpty();
  if (systemPaint) {
    for (int key = 0; key < kPianoKeyCount; ++key) {
      if (systemArea.intersects(painter_.PianoKeyRect(key))) pianoLooks_[key] = KeyLook::FullPaint;
    }
    for (int button = 0; button < kAccordionButtonCount; ++button) {
      if (systemArea.intersects(painter_.ButtonRect(button))) {
        buttonLooks_[button] = KeyLook::FullPaint;
      }
    }
  }
  QPainter painter(this);
  const QColor pressed = ColorFromWord(pressedKeyColor_);
  if (input_.keyboardType() == KeyboardType::Accordion) {
    painter_.PaintAccordion(painter, area, buttonLooks_, pressed);
  } else {
    painter_.PaintPiano(painter, area, pianoLooks_, pressed,
                        palette().color(QPalette::Active, QPalette::Base));
  }
  if (systemPaint) {
    fullPaintPending_ = false;
    input_.FullPaintFinished();
  }
  if (!painted_) {
    // The arrow comes once the window shows: loading the cursor theme and building the cursor
    // took milliseconds of the first paint's wait.
    painted_ = true;
    QMetaObject::invokeMethod(this, &CChildView::ShowArrowUnlessSet, Qt::QueuedConnection);
  }
}

void CChildView::ShowArrowUnlessSet() {
  if (!testAttribute(Qt::WA_SetCursor)) setCursor(Qt::ArrowCursor);  // a hover may have set one
}

}  // namespace orvane
