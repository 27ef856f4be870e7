#include "core/keyboard/KeyLayout.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "core/keyboard/KeyCodes.h"

namespace orvane {
namespace {

using namespace key;

// Both tables are rebuilt here from how the player sees them, independently of the code's data,
// and compared for every key code up to past the pseudo keys, so a wrong, missing or extra entry
// shows.
void ExpectTable(const KeyLayout& layout, const std::map<int, NoteList>& expected) {
  for (int keyCode = -10; keyCode <= 1100; ++keyCode) {
    auto found = expected.find(keyCode);
    EXPECT_EQ(layout.NotesForKey(keyCode), found == expected.end() ? NoteList{} : found->second)
        << "key code " << keyCode;
  }
}

// Piano: white keys on the bottom and top letter rows, black keys on the rows above them.
std::map<int, NoteList> PianoRows() {
  std::map<int, NoteList> table;
  auto row = [&table](std::vector<int> keys, std::vector<int> notes) {
    for (std::size_t i = 0; i < keys.size(); ++i) table[keys[i]] = {notes.at(i)};
  };
  row({'Z', 'X', 'C', 'V', 'B', 'N', 'M', kComma, kPeriod, kSlash},
      {0, 2, 4, 5, 7, 9, 11, 12, 14, 16});
  row({'S', 'D', 'G', 'H', 'J', 'L', kSemicolon}, {1, 3, 6, 8, 10, 13, 15});
  row({'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P', kOpenBracket, kCloseBracket},
      {12, 14, 16, 17, 19, 21, 23, 24, 26, 28, 29, 31});
  row({'2', '3', '5', '6', '7', '9', '0', kEquals}, {13, 15, 18, 20, 22, 25, 27, 30});
  return table;
}

// Accordion, button by button: column c has root (1 + 7c) mod 12, rows bass, major, minor,
// seventh, chords root on top first; button 48 repeats the C# bass.
std::vector<std::pair<int, NoteList>> AccordionButtons() {
  const int rows[4][12] = {
      {'1', '2', '3', '4', '5', '6', '7', '8', '9', '0', kMinus, kEquals},
      {'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P', kOpenBracket, kCloseBracket},
      {'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K', 'L', kSemicolon, kApostrophe, kAccordionFSharpMinor},
      {'Z', 'X', 'C', 'V', 'B', 'N', 'M', kComma, kPeriod, kSlash, kShift,
       kAccordionFSharpSeventh}};
  std::vector<std::pair<int, NoteList>> buttons;
  for (int c = 0; c < 12; ++c) {
    const int p = (1 + 7 * c) % 12;
    buttons.push_back({rows[0][c], {p, p + 12}});
    buttons.push_back({rows[1][c], {p + 24, p + 16, p + 19}});
    buttons.push_back({rows[2][c], {p + 24, p + 15, p + 19}});
    buttons.push_back({rows[3][c], {p + 24, p + 16, p + 19, p + 22}});
  }
  buttons.push_back({kBackspace, {1, 13}});
  return buttons;
}

TEST(KeyLayout, BothTablesMatchTheKeyboardAndASwitchReplacesTheWholeTable) {
  KeyLayout layout;
  ExpectTable(layout, {});  // nothing plays before the first switch
  layout.BuildAccordionKeys();
  const auto buttons = AccordionButtons();
  ExpectTable(layout, std::map<int, NoteList>(buttons.begin(), buttons.end()));
  layout.BuildPianoKeys();
  ExpectTable(layout, PianoRows());
  layout.BuildPianoKeys();
  ExpectTable(layout, PianoRows());
  layout.BuildAccordionKeys();
  EXPECT_EQ(layout.NotesForKey('N'), (NoteList{24, 16, 19, 22}));
}

TEST(KeyLayout, ButtonMapsPairEveryButtonWithItsKeyUnderEitherLayout) {
  KeyLayout layout;
  const auto buttons = AccordionButtons();
  for (int build = 0; build < 3; ++build) {
    if (build == 1) layout.BuildPianoKeys();
    if (build == 2) layout.BuildAccordionKeys();
    for (int button = 0; button < kAccordionButtonCount; ++button) {
      EXPECT_EQ(layout.KeyForButton(button), buttons[button].first) << button;
      EXPECT_EQ(layout.ButtonForKey(buttons[button].first), button) << button;
    }
    for (int outside : {-1, 49, 1000}) EXPECT_EQ(layout.KeyForButton(outside), kEnter);
    EXPECT_EQ(layout.ButtonForKey(kEnter), KeyLayout::kNoButton);
  }
}

}  // namespace
}  // namespace orvane
