#pragma once

#include <vector>

#include "display/KeyboardDisplay.h"

namespace orvane::testing {

// A keyboard display for tests: records every drawing request in order.
class RecordingKeyboardDisplay : public KeyboardDisplay {
 public:
  enum class Kind {
    PianoKeysPressed,
    PianoKeysReleased,
    PianoKeyPressed,
    AccordionButtonPressed,
    AccordionButtonReleased,
    RepaintPianoKeys,
    RepaintAccordionButtons,
    InvalidateAll
  };
  struct Call {
    Kind kind;
    NoteList keys;  // the list forms
    int index = 0;  // the single key or button forms
    bool operator==(const Call&) const = default;
  };

  std::vector<Call> calls;

  void Clear() { calls.clear(); }

  void PaintPianoKeysPressed(const NoteList& keys) override {
    calls.push_back({Kind::PianoKeysPressed, keys, 0});
  }
  void PaintPianoKeysReleased(const NoteList& keys) override {
    calls.push_back({Kind::PianoKeysReleased, keys, 0});
  }
  void PaintPianoKeyPressed(int key) override { calls.push_back({Kind::PianoKeyPressed, {}, key}); }
  void PaintAccordionButtonPressed(int button) override {
    calls.push_back({Kind::AccordionButtonPressed, {}, button});
  }
  void PaintAccordionButtonReleased(int button) override {
    calls.push_back({Kind::AccordionButtonReleased, {}, button});
  }
  void RepaintPianoKeys() override { calls.push_back({Kind::RepaintPianoKeys, {}, 0}); }
  void RepaintAccordionButtons() override {
    calls.push_back({Kind::RepaintAccordionButtons, {}, 0});
  }
  void InvalidateAll() override { calls.push_back({Kind::InvalidateAll, {}, 0}); }
};

}  // namespace orvane::testing
