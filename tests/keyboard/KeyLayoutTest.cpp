#include "keyboard/KeyLayout.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <string_view>
#include <vector>

#include "keyboard/KeyCodes.h"

namespace orvane {
namespace {

// Every key code a test sweeps: the real virtual keys and the two pseudo keys, plus margins.
constexpr int kLastSweptKey = 1100;

// The piano table as the player sees it: four rows of keys, each key one semitone or a whole
// tone up from its neighbour, written down independently of the table in the code.
std::map<int, NoteList> PianoFromKeyRows() {
  std::map<int, NoteList> table;
  auto row = [&table](std::vector<int> keys, std::vector<int> notes) {
    ASSERT_EQ(keys.size(), notes.size());
    for (std::size_t i = 0; i < keys.size(); ++i) table[keys[i]] = {notes[i]};
  };
  using namespace key;
  row({'Z', 'X', 'C', 'V', 'B', 'N', 'M', kComma, kPeriod, kSlash},
      {0, 2, 4, 5, 7, 9, 11, 12, 14, 16});
  row({'S', 'D', 'G', 'H', 'J', 'L', kSemicolon}, {1, 3, 6, 8, 10, 13, 15});
  row({'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P', kOpenBracket, kCloseBracket},
      {12, 14, 16, 17, 19, 21, 23, 24, 26, 28, 29, 31});
  row({'2', '3', '5', '6', '7', '9', '0', kEquals}, {13, 15, 18, 20, 22, 25, 27, 30});
  return table;
}

struct Button {
  int keyCode;
  NoteList notes;
};

// The accordion board from its rule: column c has root (1 + 7c) mod 12 (circle of fifths from
// C#), rows bass, major, minor and seventh; button 48 repeats the C# bass on Backspace.
std::vector<Button> AccordionFromRule() {
  using namespace key;
  const int bassKeys[12] = {'1', '2', '3', '4', '5', '6', '7', '8', '9', '0', kMinus, kEquals};
  const int majorKeys[12] = {'Q', 'W', 'E', 'R', 'T',          'Y',
                             'U', 'I', 'O', 'P', kOpenBracket, kCloseBracket};
  const int minorKeys[12] = {'A', 'S', 'D', 'F',        'G',         'H',
                             'J', 'K', 'L', kSemicolon, kApostrophe, kAccordionFSharpMinor};
  const int seventhKeys[12] = {'Z', 'X',    'C',     'V',    'B',    'N',
                               'M', kComma, kPeriod, kSlash, kShift, kAccordionFSharpSeventh};
  std::vector<Button> board;
  for (int c = 0; c < 12; ++c) {
    const int p = (1 + 7 * c) % 12;
    board.push_back({bassKeys[c], {p, p + 12}});
    board.push_back({majorKeys[c], {p + 24, p + 16, p + 19}});
    board.push_back({minorKeys[c], {p + 24, p + 15, p + 19}});
    board.push_back({seventhKeys[c], {p + 24, p + 16, p + 19, p + 22}});
  }
  board.push_back({kBackspace, {1, 13}});
  return board;
}

TEST(KeyLayout, PianoTableHasExactlyTheFourKeyRows) {
  KeyLayout layout;
  layout.BuildPianoKeys();
  const auto expected = PianoFromKeyRows();
  ASSERT_EQ(expected.size(), 37u);
  for (int keyCode = -10; keyCode <= kLastSweptKey; ++keyCode) {
    auto found = expected.find(keyCode);
    const NoteList want = found == expected.end() ? NoteList{} : found->second;
    EXPECT_EQ(layout.NotesForKey(keyCode), want) << "key code " << keyCode;
  }
}

TEST(KeyLayout, PianoKeysShareTheOverlapOfBothHalves) {
  KeyLayout layout;
  layout.BuildPianoKeys();
  const std::pair<int, int> pairs[] = {{'Q', key::kComma},
                                       {'2', 'L'},
                                       {'W', key::kPeriod},
                                       {'3', key::kSemicolon},
                                       {'E', key::kSlash}};
  int value = 12;
  for (auto [upper, lower] : pairs) {
    EXPECT_EQ(layout.NotesForKey(upper), NoteList{value});
    EXPECT_EQ(layout.NotesForKey(lower), NoteList{value});
    ++value;
  }
  for (int silent :
       std::initializer_list<int>{'1', '4', '8', 'A', 'F', 'K', key::kMinus, key::kApostrophe}) {
    EXPECT_TRUE(layout.NotesForKey(silent).empty()) << silent;
  }
}

TEST(KeyLayout, AccordionTableFollowsTheCircleOfFifths) {
  KeyLayout layout;
  layout.BuildAccordionKeys();
  const auto board = AccordionFromRule();
  ASSERT_EQ(board.size(), 49u);
  std::map<int, NoteList> byKey;
  for (const Button& button : board) byKey[button.keyCode] = button.notes;
  for (int keyCode = -10; keyCode <= kLastSweptKey; ++keyCode) {
    auto found = byKey.find(keyCode);
    const NoteList want = found == byKey.end() ? NoteList{} : found->second;
    EXPECT_EQ(layout.NotesForKey(keyCode), want) << "key code " << keyCode;
  }
  // Chords keep their stored order: root on top first.
  EXPECT_EQ(layout.NotesForKey('N'), (NoteList{24, 16, 19, 22}));
  EXPECT_EQ(layout.NotesForKey('6'), (NoteList{0, 12}));
  EXPECT_EQ(layout.NotesForKey(key::kBackspace), layout.NotesForKey('1'));
}

TEST(KeyLayout, ButtonMapsPairEveryButtonWithItsKeyUnderBothLayouts) {
  KeyLayout layout;
  const auto board = AccordionFromRule();
  auto checkMaps = [&] {
    for (int button = 0; button < KeyLayout::kButtonCount; ++button) {
      EXPECT_EQ(layout.KeyForButton(button), board[button].keyCode) << "button " << button;
      EXPECT_EQ(layout.ButtonForKey(board[button].keyCode), button) << "button " << button;
    }
    for (int outside : {-1, 49, 1000, 1001 + 49}) {
      EXPECT_EQ(layout.KeyForButton(outside), KeyLayout::kNoKey);
    }
    EXPECT_EQ(layout.ButtonForKey(key::kEnter), KeyLayout::kNoButton);
    EXPECT_EQ(layout.ButtonForKey(key::kSpace), KeyLayout::kNoButton);
  };
  checkMaps();  // before any layout is built
  layout.BuildPianoKeys();
  checkMaps();
  layout.BuildAccordionKeys();
  checkMaps();
  EXPECT_EQ(layout.KeyForButton(46), key::kAccordionFSharpMinor);
  EXPECT_EQ(layout.KeyForButton(43), key::kShift);
  EXPECT_EQ(layout.ButtonForKey('A'), 2);
}

TEST(KeyLayout, SwitchReplacesTheWholeNoteTable) {
  KeyLayout layout;
  EXPECT_TRUE(layout.NotesForKey('Q').empty());  // nothing plays before the first switch

  layout.BuildAccordionKeys();
  EXPECT_EQ(layout.NotesForKey('A'), (NoteList{25, 16, 20}));
  layout.BuildPianoKeys();
  EXPECT_TRUE(layout.NotesForKey('A').empty());
  EXPECT_TRUE(layout.NotesForKey(key::kBackspace).empty());
  EXPECT_TRUE(layout.NotesForKey(key::kAccordionFSharpMinor).empty());
  layout.BuildAccordionKeys();
  EXPECT_TRUE(layout.NotesForKey('L') == (NoteList{33, 24, 28}));
  layout.BuildAccordionKeys();  // the same layout again rebuilds the same table
  EXPECT_EQ(layout.NotesForKey('L'), (NoteList{33, 24, 28}));
}

}  // namespace
}  // namespace orvane
