#include "core/keyboard/KeyLayout.h"

#include <array>
#include <cstddef>

#include "core/keyboard/KeyCodes.h"

namespace orvane {
namespace {

struct PianoEntry {
  int keyCode;
  NoteList notes;
};

struct AccordionEntry {
  int button;
  int keyCode;
  NoteList notes;
};

// "Piano keys": the bottom letter row and the home row play values 0..16, the top letter row and
// the digit row values 12..31, so 12..16 sound from both halves.
// clang-format off
constexpr std::array<PianoEntry, 37> kPianoTable{{
    {'Z',               {0}},   // C
    {'S',               {1}},   // C#
    {'X',               {2}},   // D
    {'D',               {3}},   // D#
    {'C',               {4}},   // E
    {'V',               {5}},   // F
    {'G',               {6}},   // F#
    {'B',               {7}},   // G
    {'H',               {8}},   // G#
    {'N',               {9}},   // A
    {'J',               {10}},  // A#
    {'M',               {11}},  // B
    {key::kComma,       {12}},  // C
    {'Q',               {12}},  // C
    {'L',               {13}},  // C#
    {'2',               {13}},  // C#
    {key::kPeriod,      {14}},  // D
    {'W',               {14}},  // D
    {key::kSemicolon,   {15}},  // D#
    {'3',               {15}},  // D#
    {key::kSlash,       {16}},  // E
    {'E',               {16}},  // E
    {'R',               {17}},  // F
    {'5',               {18}},  // F#
    {'T',               {19}},  // G
    {'6',               {20}},  // G#
    {'Y',               {21}},  // A
    {'7',               {22}},  // A#
    {'U',               {23}},  // B
    {'I',               {24}},  // C
    {'9',               {25}},  // C#
    {'O',               {26}},  // D
    {'0',               {27}},  // D#
    {'P',               {28}},  // E
    {key::kOpenBracket, {29}},  // F
    {key::kEquals,      {30}},  // F#
    {key::kCloseBracket,{31}},  // G
}};

// "Accordion left hand keys": button b is column b / 4 (circle of fifths from C#) and row b % 4
// (bass, major, minor, seventh). Chords list their root, the top note, first.
constexpr std::array<AccordionEntry, kAccordionButtonCount> kAccordionTable{{
    { 0, '1',                          {1, 13}},           // C#  bass
    { 1, 'Q',                          {25, 17, 20}},      //     major
    { 2, 'A',                          {25, 16, 20}},      //     minor
    { 3, 'Z',                          {25, 17, 20, 23}},  //     seventh
    { 4, '2',                          {8, 20}},           // G#
    { 5, 'W',                          {32, 24, 27}},
    { 6, 'S',                          {32, 23, 27}},
    { 7, 'X',                          {32, 24, 27, 30}},
    { 8, '3',                          {3, 15}},           // D#
    { 9, 'E',                          {27, 19, 22}},
    {10, 'D',                          {27, 18, 22}},
    {11, 'C',                          {27, 19, 22, 25}},
    {12, '4',                          {10, 22}},          // A#
    {13, 'R',                          {34, 26, 29}},
    {14, 'F',                          {34, 25, 29}},
    {15, 'V',                          {34, 26, 29, 32}},
    {16, '5',                          {5, 17}},           // F
    {17, 'T',                          {29, 21, 24}},
    {18, 'G',                          {29, 20, 24}},
    {19, 'B',                          {29, 21, 24, 27}},
    {20, '6',                          {0, 12}},           // C
    {21, 'Y',                          {24, 16, 19}},
    {22, 'H',                          {24, 15, 19}},
    {23, 'N',                          {24, 16, 19, 22}},
    {24, '7',                          {7, 19}},           // G
    {25, 'U',                          {31, 23, 26}},
    {26, 'J',                          {31, 22, 26}},
    {27, 'M',                          {31, 23, 26, 29}},
    {28, '8',                          {2, 14}},           // D
    {29, 'I',                          {26, 18, 21}},
    {30, 'K',                          {26, 17, 21}},
    {31, key::kComma,                  {26, 18, 21, 24}},
    {32, '9',                          {9, 21}},           // A
    {33, 'O',                          {33, 25, 28}},
    {34, 'L',                          {33, 24, 28}},
    {35, key::kPeriod,                 {33, 25, 28, 31}},
    {36, '0',                          {4, 16}},           // E
    {37, 'P',                          {28, 20, 23}},
    {38, key::kSemicolon,              {28, 19, 23}},
    {39, key::kSlash,                  {28, 20, 23, 26}},
    {40, key::kMinus,                  {11, 23}},          // B
    {41, key::kOpenBracket,            {35, 27, 30}},
    {42, key::kApostrophe,             {35, 26, 30}},
    {43, key::kShift,                  {35, 27, 30, 33}},
    {44, key::kEquals,                 {6, 18}},           // F#
    {45, key::kCloseBracket,           {30, 22, 25}},
    {46, key::kAccordionFSharpMinor,   {30, 21, 25}},
    {47, key::kAccordionFSharpSeventh, {30, 22, 25, 28}},
    {48, key::kBackspace,              {1, 13}},           // C#  second bass
}};
// clang-format on

constexpr bool ButtonsAreInOrder() {
  for (std::size_t i = 0; i < kAccordionTable.size(); ++i) {
    if (kAccordionTable[i].button != static_cast<int>(i)) return false;
  }
  return true;
}
static_assert(ButtonsAreInOrder(), "accordion rows must be listed by button index");

}  // namespace

KeyLayout::KeyLayout() {
  for (const AccordionEntry& entry : kAccordionTable) {
    buttonOfKey_.emplace(entry.keyCode, entry.button);
  }
}

void KeyLayout::BuildPianoKeys() {
  noteTable_.clear();
  for (const PianoEntry& entry : kPianoTable) noteTable_.emplace(entry.keyCode, entry.notes);
}

void KeyLayout::BuildAccordionKeys() {
  noteTable_.clear();
  for (const AccordionEntry& entry : kAccordionTable) {
    noteTable_.emplace(entry.keyCode, entry.notes);
  }
}

NoteList KeyLayout::NotesForKey(int keyCode) const {
  auto found = noteTable_.find(keyCode);
  return found == noteTable_.end() ? NoteList{} : found->second;
}

int KeyLayout::ButtonForKey(int keyCode) const {
  auto found = buttonOfKey_.find(keyCode);
  return found == buttonOfKey_.end() ? kNoButton : found->second;
}

int KeyLayout::KeyForButton(int button) const {
  // The table lists the buttons by index.
  if (button < 0 || button >= kAccordionButtonCount) return kNoKey;
  return kAccordionTable[static_cast<std::size_t>(button)].keyCode;
}

}  // namespace orvane
