#pragma once

#include <map>

#include "core/keyboard/Instrument.h"
#include "core/keyboard/NoteList.h"

namespace orvane {

enum class KeyboardType : int { Piano = 0, Accordion = 1 };

// Which notes a computer key plays under the layout in force, and the fixed pairing of the
// accordion's 49 buttons with key codes (used by the accordion display and mouse play under
// either layout). Key codes are Windows virtual-key numbers.
class KeyLayout {
 public:
  static constexpr int kNoButton = 1000;  // ButtonForKey of a key without a button
  static constexpr int kNoKey = 13;       // KeyForButton of an index without a key

  // Fills the button map; the note table stays empty until a Build call.
  KeyLayout();

  void BuildPianoKeys();
  void BuildAccordionKeys();

  // Lookups never allocate: they run on every key press and release.
  NoteList NotesForKey(int keyCode) const;
  int ButtonForKey(int keyCode) const;
  int KeyForButton(int button) const;

 private:
  std::map<int, NoteList> noteTable_;
  std::map<int, int> buttonOfKey_;
};

}  // namespace orvane
