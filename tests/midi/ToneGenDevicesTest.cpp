#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "ToneGenFixture.h"

namespace orvane::testing {
namespace {

using Kind = RecordingMidiLayer::Kind;
using Event = RecordingMidiLayer::Event;
using Events = std::vector<Event>;
using Shown = RecordingUserMessages::Shown;
using ToneGenDevices = ToneGenTest;

constexpr const char* kNoOutputs =
    "No MIDI output devices! It can mean no installed sound device in this PC. Program will be "
    "closed.";
constexpr const char* kOutOpen = "Error in MIDI OUT OPEN function! Program will be closed.";
constexpr const char* kInOutFailed =
    "Error in MIDI IN/OUT devices or functions! Program will be closed.";
constexpr const char* kNoInputs =
    "No MIDI input devices! If you use motherboard game port as MIDI port then enable On Board "
    "Midi I/O in Setup BIOS Utility";
constexpr const char* kInOpen = "Error in MIDI IN OPEN function!";

Shown Warning(const char* text) {
  return {text, "Error!", MessageIcon::Warning};
}

void AppendProgramsAndVolumes(Events& events, int device, const Voice& voice) {
  for (int i = 0; i < kLayerCount; ++i) {
    events.push_back({Kind::Send, device, ProgramMessage(i, voice.patch[i])});
    events.push_back({Kind::Send, device, VolumeMessage(i, voice.volume[i])});
  }
}

TEST_F(ToneGenDevices, StartUpOpensTheDefaultOutputThenSwitchesToTheStoredOne) {
  Start({"MIDIOUTDEVINDEX=2"});
  const Voice voice = Voice::Default();
  Events expected{{Kind::OpenOutput, kDefaultOutput},
                  {Kind::Send, kDefaultOutput, ProgramMessage(0, 0)}};
  for (int i = 0; i < kLayerCount; ++i) {
    expected.push_back({Kind::Send, kDefaultOutput, VolumeMessage(i, 100)});
  }
  AppendProgramsAndVolumes(expected, kDefaultOutput, voice);
  expected.push_back({Kind::Reset, kDefaultOutput});
  expected.push_back({Kind::CloseOutput, kDefaultOutput});
  expected.push_back({Kind::OpenOutput, 1});
  AppendProgramsAndVolumes(expected, 1, voice);
  EXPECT_EQ(midi.events, expected);

  EXPECT_EQ(tone->outDeviceNames, (std::vector<std::string>{"Built-in synthesizer", "Test Synth A",
                                                            "Test Synth B", "Test Synth C"}));
  EXPECT_EQ(tone->outDeviceIndex, 2);
  EXPECT_EQ(tone->voice, voice);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "Orvane.ini"));
}

TEST_F(ToneGenDevices, StoredOutputPicksDeviceOrFallsBackSilently) {
  struct Case {
    const char* stored;
    int openDevice;
    int index;
  };
  for (Case c : {Case{"0", kDefaultOutput, 0}, Case{"2", 1, 2}, Case{"99", kDefaultOutput, 0},
                 Case{"-3", kDefaultOutput, 0}}) {
    RecordingMidiLayer layer;
    RecordingUserMessages shown;
    dir.Write("Orvane.ini", std::string("[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=") + c.stored + "\n");
    CIniFile file(dir.path().string());
    CToneGen started(layer, shown, file);
    EXPECT_EQ(layer.openOutput, c.openDevice) << "stored " << c.stored;
    EXPECT_EQ(started.outDeviceIndex, c.index) << "stored " << c.stored;
    // The voice follows the switch: the last open is followed by exactly the 32 messages.
    const auto lastOpen = std::find_if(layer.events.rbegin(), layer.events.rend(),
                                       [](const Event& e) { return e.kind == Kind::OpenOutput; });
    EXPECT_EQ(lastOpen - layer.events.rbegin(), 32) << "stored " << c.stored;
    EXPECT_TRUE(shown.shown.empty());
  }
}

TEST_F(ToneGenDevices, SwitchingOutputResetsClosesOpensAndResendsTheVoice) {
  StartQuietly();
  tone->voice.patch[4] = 33;
  tone->ChangeMidiOutDev(3);
  Events expected{
      {Kind::Reset, kDefaultOutput}, {Kind::CloseOutput, kDefaultOutput}, {Kind::OpenOutput, 2}};
  AppendProgramsAndVolumes(expected, 2, tone->voice);
  EXPECT_EQ(midi.events, expected);
  EXPECT_EQ(tone->outDeviceIndex, 3);

  midi.Clear();
  midi.failingOutputs = {0};
  tone->ChangeMidiOutDev(1);
  EXPECT_EQ(midi.openOutput, kDefaultOutput);
  EXPECT_EQ(tone->outDeviceIndex, 0);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ToneGenDevices, NoOutputDeviceEndsTheProcess) {
  midi.outputNames.clear();
  EXPECT_THROW(Start(), ProcessEnded);
  EXPECT_EQ(messages.endStatus, 1);
  EXPECT_EQ(messages.shown, (std::vector<Shown>{Warning(kNoOutputs)}));
  EXPECT_TRUE(midi.events.empty());
}

TEST_F(ToneGenDevices, DefaultOutputThatWillNotOpenEndsTheProcess) {
  midi.failingOutputs = {kDefaultOutput};
  EXPECT_THROW(Start({"MIDIOUTDEVINDEX=1"}), ProcessEnded);
  EXPECT_EQ(messages.endStatus, 1);
  EXPECT_EQ(messages.shown, (std::vector<Shown>{Warning(kOutOpen)}));
  EXPECT_EQ(midi.events, (Events{{Kind::OpenOutput, kDefaultOutput}}));
}

TEST_F(ToneGenDevices, FailingDeviceListEndsTheProcess) {
  midi.listingThrows = true;
  EXPECT_THROW(Start(), ProcessEnded);
  EXPECT_EQ(messages.endStatus, 1);
  EXPECT_EQ(messages.shown, (std::vector<Shown>{Warning(kInOutFailed)}));
  EXPECT_TRUE(midi.events.empty());
}

TEST_F(ToneGenDevices, FailedSwitchWithoutFallbackEndsTheProcessAndSendsNothingMore) {
  StartQuietly();
  midi.failingOutputs = {1, kDefaultOutput};
  EXPECT_THROW(tone->ChangeMidiOutDev(2), ProcessEnded);
  EXPECT_EQ(messages.endStatus, 1);
  EXPECT_EQ(messages.shown, (std::vector<Shown>{Warning(kOutOpen)}));
  EXPECT_EQ(midi.events, (Events{{Kind::Reset, kDefaultOutput},
                                 {Kind::CloseOutput, kDefaultOutput},
                                 {Kind::OpenOutput, 1},
                                 {Kind::OpenOutput, kDefaultOutput}}));
}

TEST_F(ToneGenDevices, DisabledHardwareKeyboardOpensNoInput) {
  StartQuietly({"ISHARDWAREMIDIKBDENABLED=0", "MIDIINDEVINDEX=0"});
  tone->OpenMidiInput(window);
  EXPECT_TRUE(midi.events.empty());
  EXPECT_TRUE(tone->inDeviceNames.empty());
  EXPECT_TRUE(messages.shown.empty());

  // The device dialog can still switch the input at once.
  tone->ChangeMidiInDev(0);
  EXPECT_EQ(midi.openInput, 0);
  EXPECT_TRUE(midi.inputStarted);
}

TEST_F(ToneGenDevices, EnabledHardwareKeyboardOpensTheStoredInput) {
  midi.inputNames = {"Keys 1", "Keys 2"};
  StartQuietly({"ISHARDWAREMIDIKBDENABLED=1", "MIDIINDEVINDEX=1"});
  EXPECT_EQ(tone->inDeviceIndex, 1);
  tone->OpenMidiInput(window);
  EXPECT_EQ(tone->inDeviceNames, (std::vector<std::string>{"Keys 1", "Keys 2"}));
  EXPECT_EQ(midi.events, (Events{{Kind::OpenInput, 1}, {Kind::StartInput, 1}}));
  EXPECT_EQ(tone->inDeviceIndex, 1);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ToneGenDevices, MissingStoredInputFallsBackToDeviceZero) {
  midi.inputNames = {"Keys 1", "Keys 2"};
  StartQuietly({"ISHARDWAREMIDIKBDENABLED=1", "MIDIINDEVINDEX=7"});
  tone->OpenMidiInput(window);
  EXPECT_EQ(midi.openInput, 0);
  EXPECT_TRUE(midi.inputStarted);
  EXPECT_EQ(tone->inDeviceIndex, 0);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ToneGenDevices, InputProblemsAtStartUpAreShownAndPlayGoesOn) {
  midi.inputNames.clear();
  StartQuietly({"ISHARDWAREMIDIKBDENABLED=1"});
  tone->OpenMidiInput(window);
  EXPECT_EQ(messages.shown, (std::vector<Shown>{Warning(kNoInputs)}));
  EXPECT_TRUE(midi.events.empty());

  messages.shown.clear();
  midi.inputNames = {"Broken keys"};
  midi.failingInputs = {0};
  tone->OpenMidiInput(window);
  EXPECT_EQ(messages.shown, (std::vector<Shown>{Warning(kInOpen)}));
  EXPECT_FALSE(midi.inputStarted);
  EXPECT_FALSE(messages.endStatus.has_value());

  tone->NoteOn(0);
  EXPECT_EQ(midi.Sent().size(), 1u);
}

TEST_F(ToneGenDevices, FailingInputListEndsTheProcess) {
  StartQuietly({"ISHARDWAREMIDIKBDENABLED=1"});
  midi.listingThrows = true;
  EXPECT_THROW(tone->OpenMidiInput(window), ProcessEnded);
  EXPECT_EQ(messages.endStatus, 1);
  EXPECT_EQ(messages.shown, (std::vector<Shown>{Warning(kInOutFailed)}));
  EXPECT_TRUE(midi.events.empty());
}

TEST_F(ToneGenDevices, SwitchingInputFallsBackToDeviceZero) {
  midi.inputNames = {"Keys 1", "Keys 2", "Keys 3"};
  StartQuietly({"ISHARDWAREMIDIKBDENABLED=1"});
  tone->OpenMidiInput(window);
  tone->ChangeMidiInDev(2);
  EXPECT_EQ(midi.openInput, 2);
  EXPECT_EQ(tone->inDeviceIndex, 2);

  midi.failingInputs = {1};
  midi.Clear();
  tone->ChangeMidiInDev(1);
  EXPECT_EQ(midi.events, (Events{{Kind::StopInput, 2},
                                 {Kind::CloseInput, 2},
                                 {Kind::OpenInput, 1},
                                 {Kind::OpenInput, 0},
                                 {Kind::StartInput, 0}}));
  EXPECT_EQ(tone->inDeviceIndex, 0);
  EXPECT_TRUE(messages.shown.empty());

  midi.failingInputs = {0, 1};
  tone->ChangeMidiInDev(1);
  EXPECT_EQ(messages.shown, (std::vector<Shown>{Warning(kInOpen)}));
  EXPECT_EQ(tone->inDeviceIndex, 0);
  EXPECT_FALSE(midi.inputStarted);
}

TEST_F(ToneGenDevices, SwitchingInputBeforeTheWindowExistsChangesNothing) {
  StartQuietly({"MIDIINDEVINDEX=3"});
  tone->ChangeMidiInDev(0);
  EXPECT_EQ(messages.shown,
            (std::vector<Shown>{{"hOrvaneWnd == NULL in CToneGen::ChangeMidiInDev!",
                                 "Error in CToneGen::ChangeMidiInDev!", MessageIcon::Warning}}));
  EXPECT_TRUE(midi.events.empty());
  EXPECT_EQ(tone->inDeviceIndex, 3);
}

TEST_F(ToneGenDevices, DestructionClosesOutputThenInputWithoutReset) {
  StartQuietly({"ISHARDWAREMIDIKBDENABLED=1"});
  tone->OpenMidiInput(window);
  midi.Clear();
  toneGen.reset();
  EXPECT_EQ(
      midi.events,
      (Events{{Kind::CloseOutput, kDefaultOutput}, {Kind::StopInput, 0}, {Kind::CloseInput, 0}}));
}

class ToneGenThru : public ToneGenTest {
 protected:
  void SetUp() override {
    StartQuietly({"ISHARDWAREMIDIKBDENABLED=1"});
    tone->OpenMidiInput(window);
    midi.Clear();
  }
  std::vector<ShortMessage> Thru(ShortMessage incoming) {
    midi.Clear();
    EXPECT_TRUE(midi.Deliver(incoming));
    return midi.Sent();
  }
};

TEST_F(ToneGenThru, NotesOfChannelOneReachEveryEnabledLayer) {
  EnableOnly({0, 2});
  tone->voice.transposition[2] = 12;
  tone->OctaveDown();
  EXPECT_EQ(Thru(NoteOnMessage(0, 60, 100)),
            (std::vector<ShortMessage>{NoteOnMessage(0, 48, 100), NoteOnMessage(2, 60, 100)}));
  EXPECT_EQ(
      Thru(PackShortMessage(0x80, 60, 64)),
      (std::vector<ShortMessage>{PackShortMessage(0x80, 48, 64), PackShortMessage(0x82, 60, 64)}));
  EXPECT_EQ(Thru(NoteOnMessage(0, 60, 0)),
            (std::vector<ShortMessage>{NoteOnMessage(0, 48, 0), NoteOnMessage(2, 60, 0)}));
  tone->mouseSustain = true;  // plays no part in pass-through
  EXPECT_EQ(Thru(NoteOnMessage(0, 61, 1)).size(), 2u);
}

TEST_F(ToneGenThru, EverythingElseIsDropped) {
  EnableOnly({0, 1});
  for (ShortMessage incoming :
       {NoteOnMessage(1, 60, 100), PackShortMessage(0x81, 60, 0), PackShortMessage(0xB0, 7, 90),
        PackShortMessage(0xC0, 5, 0), PackShortMessage(0xE0, 0, 64), PackShortMessage(0xF8, 0, 0),
        PackShortMessage(0x90, 200, 100), PackShortMessage(0x90, 60, 200)}) {
    EXPECT_TRUE(Thru(incoming).empty()) << std::hex << incoming;
  }
}

TEST_F(ToneGenThru, LayerPushedOutOfMidiRangeIsSkipped) {
  EnableOnly({0, 1, 2});
  tone->voice.transposition[1] = 10;
  tone->voice.transposition[2] = -121;
  EXPECT_EQ(Thru(NoteOnMessage(0, 120, 90)),
            (std::vector<ShortMessage>{NoteOnMessage(0, 120, 90)}));
}

}  // namespace
}  // namespace orvane::testing
