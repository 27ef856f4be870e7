#pragma once

#include "core/keyboard/NoteList.h"

namespace orvane {

// What the playing logic asks of the drawn keyboard. Key-level operations draw at once, without
// waiting for a paint; an index out of range draws nothing.
class KeyboardDisplay {
 public:
  virtual void PaintPianoKeysPressed(const NoteList& keys) = 0;
  virtual void PaintPianoKeysReleased(const NoteList& keys) = 0;
  virtual void PaintPianoKeyPressed(int key) = 0;
  virtual void PaintAccordionButtonPressed(int button) = 0;
  virtual void PaintAccordionButtonReleased(int button) = 0;
  virtual void RepaintPianoKeys() = 0;         // all 37 keys released
  virtual void RepaintAccordionButtons() = 0;  // all 49 buttons released
  virtual void InvalidateAll() = 0;            // a full paint of the current layout follows

 protected:
  ~KeyboardDisplay() = default;
};

}  // namespace orvane
