#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/display/KeyboardDisplay.h"

namespace orvane::testing {

// A keyboard display for tests: records every drawing request in order, as "keys pressed 12 14",
// "keys released 12", "key pressed 5", "button pressed 3", "button released 3", "repaint piano",
// "repaint accordion" or "invalidate".
class RecordingKeyboardDisplay : public KeyboardDisplay {
 public:
  std::vector<std::string> calls;

  void Clear() { calls.clear(); }

  void PaintPianoKeysPressed(const NoteList& keys) override { Record("keys pressed", keys); }
  void PaintPianoKeysReleased(const NoteList& keys) override { Record("keys released", keys); }
  void PaintPianoKeyPressed(int key) override { Record("key pressed", {key}); }
  void PaintAccordionButtonPressed(int button) override { Record("button pressed", {button}); }
  void PaintAccordionButtonReleased(int button) override { Record("button released", {button}); }
  void RepaintPianoKeys() override { Record("repaint piano", {}); }
  void RepaintAccordionButtons() override { Record("repaint accordion", {}); }
  void InvalidateAll() override { Record("invalidate", {}); }

 private:
  void Record(std::string call, const NoteList& indices) {
    for (int index : indices) call += " " + std::to_string(index);
    calls.push_back(std::move(call));
  }
};

}  // namespace orvane::testing
