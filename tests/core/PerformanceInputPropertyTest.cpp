#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <random>
#include <string>
#include <vector>

#include "PerformanceFixture.h"

namespace orvane::testing {
namespace {

// Follows what sounds on the recording layer: a note-on starts a note, a note-off of the same
// channel and note number ends it, a reset ends every note.
class SoundingNotes {
 public:
  void Consume(const std::vector<RecordingMidiLayer::Event>& events, std::size_t from,
               bool trackNoteOns) {
    for (std::size_t i = from; i < events.size(); ++i) {
      const RecordingMidiLayer::Event& event = events[i];
      if (event.kind == RecordingMidiLayer::Kind::Reset) sounding_.reset();
      if (event.kind != RecordingMidiLayer::Kind::Send) continue;
      int status = StatusByte(event.message);
      std::size_t slot = static_cast<std::size_t>((status & 0x0F) * 256 + DataByte1(event.message));
      bool noteOn = (status & 0xF0) == 0x90 && DataByte2(event.message) != 0;
      bool noteOff = (status & 0xF0) == 0x80 || ((status & 0xF0) == 0x90 && !noteOn);
      if (noteOn && trackNoteOns) sounding_.set(slot);
      if (noteOff) sounding_.reset(slot);
    }
  }
  bool Silent() const { return sounding_.none(); }
  std::string Describe() const {
    std::string text;
    for (std::size_t slot = 0; slot < sounding_.size(); ++slot) {
      if (sounding_.test(slot)) {
        text += " channel " + std::to_string(slot / 256) + " note " + std::to_string(slot % 256);
      }
    }
    return text;
  }

 private:
  std::bitset<16 * 256> sounding_;
};

// A player at a computer keyboard with the program's window sometimes losing the focus. It
// knows which keys are physically down and what the view knows: the view tracks the two Shift
// keys from the events it receives and forgets them when the focus goes; it reads Caps Lock from
// the system with every event and when the focus comes back, so toggling it in another window
// shows at the next of these.
class RandomPlayer {
 public:
  RandomPlayer(PerformanceInput& input, std::mt19937& random, std::vector<std::string>& log)
      : input_(input), random_(random), log_(log) {}

  // Keys of both layouts, keys of neither, the pedal keys and both Shift keys.
  static constexpr int kLeftShift = -1;
  static constexpr int kRightShift = -2;
  static constexpr int kKeys[] = {'Q',
                                  'W',
                                  'E',
                                  'Z',
                                  'X',
                                  'N',
                                  'A',
                                  'S',
                                  'F',
                                  'K',
                                  '1',
                                  '2',
                                  '6',
                                  '0',
                                  'L',
                                  'P',
                                  'Y',
                                  'M',
                                  188,
                                  190,
                                  191,
                                  186,
                                  189,
                                  222,
                                  219,
                                  221,
                                  187,
                                  8,
                                  112,
                                  key::kEnter,
                                  key::kCapsLock,
                                  key::kSpace,
                                  kLeftShift,
                                  kRightShift};

  bool Focused() const { return focused_; }

  void PressRandomKey() {
    int id = kKeys[Pick(std::size(kKeys))];
    if (IsDown(id)) return;
    down_.push_back(id);
    if (id == key::kCapsLock) capsLock_ = !capsLock_;
    if (!focused_) {
      log_.push_back("press " + Name(id) + " elsewhere");
      return;
    }
    SetTrackedShift(id, true);
    log_.push_back("press " + Name(id));
    input_.KeyPressed(Code(id), ViewState());
  }

  void RepeatRandomKey() {
    if (down_.empty() || !focused_) return;
    int id = down_[Pick(down_.size())];
    log_.push_back("repeat " + Name(id));
    input_.KeyPressed(Code(id), ViewState());
  }

  void ReleaseRandomKey() {
    if (!down_.empty()) Release(down_[Pick(down_.size())]);
  }

  void ToggleFocus() {
    if (focused_) {
      log_.push_back("focus lost");
      input_.ReleaseAllKeys(ViewState());
      trackedLeftShift_ = trackedRightShift_ = false;
    } else {
      log_.push_back("focus gained");
      input_.ModifiersChanged(ViewState());
    }
    focused_ = !focused_;
  }

  // Gets the focus back, turns Caps Lock off and lets go of every id.
  void Finish() {
    if (!focused_) ToggleFocus();
    if (capsLock_) {
      if (IsDown(key::kCapsLock)) Release(key::kCapsLock);
      down_.push_back(key::kCapsLock);
      capsLock_ = false;
      log_.push_back("press Caps Lock");
      input_.KeyPressed(key::kCapsLock, ViewState());
    }
    while (!down_.empty()) Release(down_[Pick(down_.size())]);
  }

 private:
  std::size_t Pick(std::size_t count) {
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_);
  }
  bool IsDown(int id) const { return std::find(down_.begin(), down_.end(), id) != down_.end(); }
  static int Code(int id) { return id < 0 ? key::kShift : id; }
  static std::string Name(int id) {
    if (id == kLeftShift) return "left Shift";
    if (id == kRightShift) return "right Shift";
    return std::to_string(id);
  }
  void SetTrackedShift(int id, bool down) {
    if (id == kLeftShift) trackedLeftShift_ = down;
    if (id == kRightShift) trackedRightShift_ = down;
  }
  ModifierState ViewState() const { return {capsLock_, trackedLeftShift_, trackedRightShift_}; }

  void Release(int id) {
    down_.erase(std::find(down_.begin(), down_.end(), id));
    if (!focused_) {
      log_.push_back("release " + Name(id) + " elsewhere");
      return;
    }
    SetTrackedShift(id, false);
    log_.push_back("release " + Name(id));
    input_.KeyReleased(Code(id), ViewState());
  }

  PerformanceInput& input_;
  std::mt19937& random_;
  std::vector<std::string>& log_;
  std::vector<int> down_;
  bool capsLock_ = false;
  bool focused_ = true;
  bool trackedLeftShift_ = false;
  bool trackedRightShift_ = false;
};

constexpr void (PerformanceInput::*kTranspositions[])() = {
    &PerformanceInput::OctaveUp,       &PerformanceInput::OctaveDown,
    &PerformanceInput::OctaveStandard, &PerformanceInput::SemitoneUp,
    &PerformanceInput::SemitoneDown,   &PerformanceInput::SemitoneStandard};

using NoStuckNotesTest = PerformanceFixture;

TEST_F(NoStuckNotesTest, RandomPlayingEndsInSilenceOnceEveryKeyIsUp) {
  toneGen.voice.layerOn[2] = true;
  toneGen.voice.transposition[2] = 7;
  toneGen.voice.layerOn[15] = true;
  toneGen.voice.transposition[15] = -12;

  std::mt19937 random(20261207);
  std::vector<std::string> log;
  constexpr int kSequences = 3000;
  for (int sequence = 0; sequence < kSequences; ++sequence) {
    midi.Clear();
    display.Clear();
    log.clear();
    SoundingNotes sounding;
    PerformanceInput player{toneGen, display};
    RandomPlayer keyboard(player, random, log);
    player.SetKeyboardType(static_cast<int>(random() % 2));

    int steps = 10 + static_cast<int>(random() % 70);
    for (int step = 0; step < steps; ++step) {
      std::size_t before = midi.events.size();
      bool mouse = false;
      auto roll = random() % 100;
      if (roll < 35) {
        keyboard.PressRandomKey();
      } else if (roll < 45) {
        keyboard.RepeatRandomKey();
      } else if (roll < 75) {
        keyboard.ReleaseRandomKey();
      } else if (roll < 79) {
        keyboard.ToggleFocus();
      } else if (roll < 85) {
        log.push_back("transposition");
        (player.*kTranspositions[random() % std::size(kTranspositions)])();
      } else if (roll < 88) {
        int type = static_cast<int>(random() % 3);
        log.push_back("layout " + std::to_string(type));
        player.SetKeyboardType(type);
        if (random() % 2 == 0) player.FullPaintFinished();
      } else if (roll < 97) {
        mouse = true;
        log.push_back("click");
        if (player.keyboardType() == KeyboardType::Piano) {
          player.PianoKeyClicked(static_cast<int>(random() % 37));
        } else {
          player.AccordionButtonClicked(static_cast<int>(random() % 49));
        }
      } else {
        log.push_back("mute all");
        player.MuteAll();
      }
      // Mouse notes sound until the next click or mute by design; only key notes are followed.
      sounding.Consume(midi.events, before, !mouse);
    }
    std::size_t before = midi.events.size();
    keyboard.Finish();
    sounding.Consume(midi.events, before, true);

    bool anyHeld = false;
    for (int code = 0; code < PerformanceInput::kKeyCodeCount; ++code) {
      anyHeld = anyHeld || player.IsHeld(code);
    }
    std::string history;
    for (const std::string& line : log) history += line + "; ";
    ASSERT_TRUE(sounding.Silent()) << "sequence " << sequence << " left" << sounding.Describe()
                                   << " sounding after: " << history;
    ASSERT_FALSE(anyHeld) << "sequence " << sequence << " after: " << history;
    ASSERT_FALSE(player.sustainPedal()) << "sequence " << sequence << " after: " << history;
    ASSERT_FALSE(toneGen.mouseSustain) << "sequence " << sequence << " after: " << history;
  }
}

}  // namespace
}  // namespace orvane::testing
