#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "ToneGenFixture.h"

namespace orvane::testing {
namespace {

using Kind = RecordingMidiLayer::Kind;
using Events = std::vector<RecordingMidiLayer::Event>;
using Shown = std::vector<RecordingUserMessages::Shown>;
using Messages = std::vector<ShortMessage>;
using ToneGenDevices = ToneGenTest;

constexpr const char* kOutOpen = "Error in MIDI OUT OPEN function! Program will be closed.";
constexpr const char* kInOutFailed =
    "Error in MIDI IN/OUT devices or functions! Program will be closed.";
constexpr const char* kInOpen = "Error in MIDI IN OPEN function!";

RecordingUserMessages::Shown Warning(const char* text) {
  return {text, "Error!", MessageIcon::Warning};
}

void AppendVoice(Events& events, int device, const Voice& voice) {
  for (int i = 0; i < kLayerCount; ++i) {
    events.push_back({Kind::Send, device, ProgramMessage(i, voice.patch[i])});
    events.push_back({Kind::Send, device, VolumeMessage(i, voice.volume[i])});
  }
}

TEST_F(ToneGenDevices, StartUpOpensTheDefaultOutputThenSwitchesToTheStoredOne) {
  Start({"MIDIOUTDEVINDEX=2"});
  Events expected{{Kind::OpenOutput, kDefaultOutput},
                  {Kind::Send, kDefaultOutput, ProgramMessage(0, 0)}};
  for (int i = 0; i < kLayerCount; ++i) {
    expected.push_back({Kind::Send, kDefaultOutput, VolumeMessage(i, 100)});
  }
  AppendVoice(expected, kDefaultOutput, Voice::Default());
  expected.insert(
      expected.end(),
      {{Kind::Reset, kDefaultOutput}, {Kind::CloseOutput, kDefaultOutput}, {Kind::OpenOutput, 1}});
  AppendVoice(expected, 1, Voice::Default());
  EXPECT_EQ(midi.events, expected);
  EXPECT_EQ(tone->outDeviceNames, (std::vector<std::string>{"Built-in synthesizer", "Test Synth A",
                                                            "Test Synth B", "Test Synth C"}));
  EXPECT_EQ(tone->outDeviceIndex, 2);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "Orvane.ini"));
}

TEST_F(ToneGenDevices, StoredOutputPicksItsDeviceOrSilentlyTheDefault) {
  struct Case {
    const char* stored;
    int device;
    int index;
  } cases[] = {
      {"0", kDefaultOutput, 0}, {"2", 1, 2}, {"99", kDefaultOutput, 0}, {"-3", kDefaultOutput, 0}};
  for (const Case& c : cases) {
    RecordingMidiLayer layer;
    RecordingUserMessages shown;
    dir.Write("Orvane.ini", std::string("[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=") + c.stored + "\n");
    CIniFile file(dir.path().string());
    CToneGen started(layer, shown, file);
    EXPECT_EQ(layer.openOutput, c.device) << c.stored;
    EXPECT_EQ(started.outDeviceIndex, c.index) << c.stored;
    EXPECT_EQ(layer.events.back().kind, Kind::Send) << c.stored;  // the voice followed
    EXPECT_TRUE(shown.shown.empty());
  }
}

TEST_F(ToneGenDevices, StartUpWithoutAUsableOutputEndsTheProcess) {
  struct Case {
    const char* text;
    void (*breakLayer)(RecordingMidiLayer&);
    Events attempted;
  } cases[] = {
      {"No MIDI output devices! It can mean no installed sound device in this PC. Program will "
       "be closed.",
       [](RecordingMidiLayer& m) { m.outputNames.clear(); },
       {}},
      {kOutOpen,
       [](RecordingMidiLayer& m) { m.failingOutputs = {kDefaultOutput}; },
       {{Kind::OpenOutput, kDefaultOutput}}},
      {kInOutFailed, [](RecordingMidiLayer& m) { m.listingThrows = true; }, {}}};
  for (const Case& c : cases) {
    RecordingMidiLayer layer;
    RecordingUserMessages shown;
    c.breakLayer(layer);
    CIniFile file(dir.path().string());
    EXPECT_THROW(CToneGen(layer, shown, file), ProcessEnded);
    EXPECT_EQ(shown.endStatus, 1);
    EXPECT_EQ(shown.shown, Shown{Warning(c.text)});
    EXPECT_EQ(layer.events, c.attempted);
  }
}

TEST_F(ToneGenDevices, OutputSwitchFallsBackToTheDefaultOrEndsTheProcess) {
  StartQuietly();
  tone->voice.patch[4] = 33;
  tone->ChangeMidiOutDev(3);
  Events expected{
      {Kind::Reset, kDefaultOutput}, {Kind::CloseOutput, kDefaultOutput}, {Kind::OpenOutput, 2}};
  AppendVoice(expected, 2, tone->voice);
  EXPECT_EQ(midi.events, expected);
  EXPECT_EQ(tone->outDeviceIndex, 3);

  midi.failingOutputs = {0};
  tone->ChangeMidiOutDev(1);
  EXPECT_EQ(midi.openOutput, kDefaultOutput);
  EXPECT_EQ(tone->outDeviceIndex, 0);
  EXPECT_TRUE(messages.shown.empty());

  midi.Clear();
  midi.failingOutputs = {1, kDefaultOutput};
  EXPECT_THROW(tone->ChangeMidiOutDev(2), ProcessEnded);
  EXPECT_EQ(messages.endStatus, 1);
  EXPECT_EQ(messages.shown, Shown{Warning(kOutOpen)});
  EXPECT_EQ(midi.events, (Events{{Kind::Reset, kDefaultOutput},
                                 {Kind::CloseOutput, kDefaultOutput},
                                 {Kind::OpenOutput, 1},
                                 {Kind::OpenOutput, kDefaultOutput}}));  // and nothing after
}

TEST_F(ToneGenDevices, DisabledHardwareKeyboardOpensNoInputUntilOneIsChosen) {
  StartQuietly({"ISHARDWAREMIDIKBDENABLED=0"});
  tone->OpenMidiInput(window);
  EXPECT_TRUE(midi.events.empty());
  EXPECT_TRUE(tone->inDeviceNames.empty());
  tone->ChangeMidiInDev(0);  // a choice in the device dialog switches at once
  EXPECT_TRUE(midi.inputStarted);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ToneGenDevices, StartUpOpensTheStoredInputOrDeviceZero) {
  midi.inputNames = {"Keys 1", "Keys 2"};
  StartQuietly({"ISHARDWAREMIDIKBDENABLED=1", "MIDIINDEVINDEX=1"});
  tone->OpenMidiInput(window);
  EXPECT_EQ(tone->inDeviceNames, midi.inputNames);
  EXPECT_EQ(midi.events, (Events{{Kind::OpenInput, 1}, {Kind::StartInput, 1}}));
  EXPECT_EQ(tone->inDeviceIndex, 1);

  toneGen.reset();
  midi = RecordingMidiLayer{};
  midi.inputNames = {"Keys 1", "Keys 2"};
  StartQuietly({"ISHARDWAREMIDIKBDENABLED=1", "MIDIINDEVINDEX=7"});
  tone->OpenMidiInput(window);
  EXPECT_EQ(midi.openInput, 0);
  EXPECT_TRUE(midi.inputStarted);
  EXPECT_EQ(tone->inDeviceIndex, 0);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ToneGenDevices, InputProblemsAreShownAndPlayGoesOn) {
  midi.inputNames.clear();
  StartQuietly({"ISHARDWAREMIDIKBDENABLED=1"});
  tone->OpenMidiInput(window);
  midi.inputNames = {"Broken keys"};
  midi.failingInputs = {0};
  tone->OpenMidiInput(window);
  EXPECT_EQ(messages.shown,
            (Shown{Warning("No MIDI input devices! If you use motherboard game port as MIDI port "
                           "then enable On Board Midi I/O in Setup BIOS Utility"),
                   Warning(kInOpen)}));
  EXPECT_FALSE(messages.endStatus.has_value());
  EXPECT_FALSE(midi.inputStarted);
  tone->NoteOn(0);
  EXPECT_EQ(midi.Sent().size(), 1u);

  midi.listingThrows = true;
  EXPECT_THROW(tone->OpenMidiInput(window), ProcessEnded);
  EXPECT_EQ(messages.shown.back(), Warning(kInOutFailed));
  EXPECT_EQ(messages.endStatus, 1);
}

TEST_F(ToneGenDevices, InputSwitchFallsBackToDeviceZero) {
  midi.inputNames = {"Keys 1", "Keys 2", "Keys 3"};
  StartQuietly({"ISHARDWAREMIDIKBDENABLED=1"});
  tone->ChangeMidiInDev(0);  // before the window exists: refused, nothing changes
  EXPECT_EQ(messages.shown, (Shown{{"hOrvaneWnd == NULL in CToneGen::ChangeMidiInDev!",
                                    "Error in CToneGen::ChangeMidiInDev!", MessageIcon::Warning}}));
  EXPECT_TRUE(midi.events.empty());

  messages.shown.clear();
  tone->OpenMidiInput(window);
  tone->ChangeMidiInDev(2);
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
  EXPECT_EQ(messages.shown, Shown{Warning(kInOpen)});
  EXPECT_EQ(tone->inDeviceIndex, 0);
  EXPECT_FALSE(midi.inputStarted);
}

// Silenced before it closes: a device outlives the program, and whatever sounded on it at the
// close would sound on.
TEST_F(ToneGenDevices, DestructionSilencesAndClosesOutputThenInput) {
  StartQuietly({"ISHARDWAREMIDIKBDENABLED=1"});
  tone->OpenMidiInput(window);
  midi.Clear();
  toneGen.reset();
  EXPECT_EQ(midi.events, (Events{{Kind::Reset, kDefaultOutput},
                                 {Kind::CloseOutput, kDefaultOutput},
                                 {Kind::StopInput, 0},
                                 {Kind::CloseInput, 0}}));
  EXPECT_FALSE(midi.HasListener());
}

TEST_F(ToneGenDevices, InputNotesOfChannelOnePassToTheEnabledLayers) {
  StartQuietly({"ISHARDWAREMIDIKBDENABLED=1"});
  tone->OpenMidiInput(window);
  auto thru = [this](ShortMessage incoming) {
    midi.Clear();
    EXPECT_TRUE(midi.Deliver(incoming));
    return midi.Sent();
  };
  EnableOnly({0, 2});
  tone->voice.transposition[2] = 12;
  tone->OctaveDown();
  EXPECT_EQ(thru(NoteOnMessage(0, 60, 100)),
            (Messages{NoteOnMessage(0, 48, 100), NoteOnMessage(2, 60, 100)}));
  EXPECT_EQ(thru(PackShortMessage(0x80, 60, 64)),
            (Messages{PackShortMessage(0x80, 48, 64), PackShortMessage(0x82, 60, 64)}));
  EXPECT_EQ(thru(NoteOnMessage(0, 60, 0)),
            (Messages{NoteOnMessage(0, 48, 0), NoteOnMessage(2, 60, 0)}));
  tone->voice.transposition[2] = 100;  // 160: that layer is skipped
  EXPECT_EQ(thru(NoteOnMessage(0, 60, 1)), (Messages{NoteOnMessage(0, 48, 1)}));

  for (ShortMessage dropped :
       {NoteOnMessage(1, 60, 100), PackShortMessage(0x81, 60, 0), PackShortMessage(0xB0, 7, 90),
        PackShortMessage(0xC0, 5, 0), PackShortMessage(0xF8, 0, 0),
        PackShortMessage(0x90, 200, 100), PackShortMessage(0x90, 60, 200)}) {
    EXPECT_TRUE(thru(dropped).empty()) << std::hex << dropped;
  }
}

}  // namespace
}  // namespace orvane::testing
