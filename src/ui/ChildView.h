#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QWidget>

#include "core/display/KeyboardDisplay.h"
#include "core/keyboard/NativeKeyMap.h"
#include "core/keyboard/PerformanceInput.h"
#include "core/midi/ToneGen.h"
#include "core/voice/VoiceFiles.h"
#include "ui/AppServices.h"
#include "ui/KeyboardPainter.h"
#include "ui/ReleasePairing.h"

class QMenu;

namespace orvane {

// The client window: owns the tone generator, the playing logic and the drawing of the keyboard;
// receives every key, mouse, paint and MIDI-input event and most commands.
class CChildView : public QWidget, public KeyboardDisplay, public MidiInputSink {
  Q_OBJECT

 public:
  // Builds the tone generator first (it prepares the settings file and opens the MIDI output),
  // then the playing logic, the voice paths and the pressed-key colour.
  CChildView(const AppServices& services, QWidget* parent);
  ~CChildView() override;

  // The window-creation step: MIDI input, the starting voice (the first argument after the
  // program, else the working voice), programs and volumes, the saved rectangle and the layout.
  void OnCreate(const std::vector<std::string>& arguments, QMenu* keyboardSettingsMenu);
  // The destruction step: writes the working voice and the settings. Runs once.
  void OnDestroy();
  // Carries out the view's commands; false for a command it does not handle.
  bool OnCommand(int command);

  void SetKeyboardType(int type);

  CToneGen& toneGen() { return toneGen_; }
  PerformanceInput& input() { return input_; }
  const KeyboardPainter& painter() const { return painter_; }
  // Where the Caps Lock state comes from. X11 and Wayland give every key event the XKB
  // modifier state from before the event; on X11 the server is also asked at focus-in, and
  // repeated keys are told apart by the server (or by timestamps). Tracked: from its presses.
  enum class KeyState { Tracked, X11, Wayland };
  void SetKeyState(KeyState source) { keyState_ = source; }

  // left, top, right, bottom of the main window in screen pixels.
  std::array<int, 4> savedWindowRect{};

  // KeyboardDisplay
  void PaintPianoKeysPressed(const NoteList& keys) override;
  void PaintPianoKeysReleased(const NoteList& keys) override;
  void PaintPianoKeyPressed(int key) override;
  void PaintAccordionButtonPressed(int button) override;
  void PaintAccordionButtonReleased(int button) override;
  void RepaintPianoKeys() override;
  void RepaintAccordionButtons() override;
  void InvalidateAll() override;

  // MidiInputSink
  void OnMidiInput(ShortMessage message) override;

 protected:
  bool event(QEvent* event) override;
  bool focusNextPrevChild(bool next) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void ShowNow(const QRect& area);
  void ShowPianoKeys(const NoteList& keys, KeyLook look);
  void ShowAccordionButton(int button, KeyLook look);
  // The piano key or accordion button of the current layout under a point.
  std::optional<int> KeyAt(QPoint point) const;
  void PressAt(QPoint point);
  void HoverAt(QPoint point);
  void ShowArrowUnlessSet();
  MappedKey KeyOf(const QKeyEvent& event) const;
  void TrackModifiers(const QKeyEvent& event, const MappedKey& key, bool pressed);
  void TakeRelease(const QKeyEvent& event);
  void SaveVoice();
  void LoadVoice();
  void OnPressedKeyColor();

  AppServices services_;
  CToneGen toneGen_;  // first: it brings up the settings file and the MIDI output
  PerformanceInput input_;
  VoiceFiles voiceFiles_;
  std::uint32_t pressedKeyColor_ = 0;
  KeyboardPainter painter_;
  PianoLooks pianoLooks_{};
  ButtonLooks buttonLooks_{};
  QRegion keyLevelArea_;           // what the running key-level repaint asked for
  bool fullPaintPending_ = false;  // a layout switch or colour change awaits its paint
  bool painted_ = false;
  QMenu* keyboardSettingsMenu_ = nullptr;
  ModifierState modifiers_;
  KeyState keyState_ = KeyState::Tracked;
  ReleasePairing releasePairing_{[this](const QKeyEvent& event) { TakeRelease(event); }};
  bool destroyed_ = false;
};

}  // namespace orvane
