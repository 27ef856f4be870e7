#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/keyboard/NoteList.h"
#include "core/midi/MidiLayer.h"
#include "core/voice/Voice.h"

namespace orvane {

class CIniFile;
class UserMessages;

// The one sound object: fans every note out to the enabled layers of the voice, sends programs
// and volumes, silences everything, and owns the open MIDI output and input devices.
//
// It follows the devices as they come and go (it is the MIDI layer's device listener): the lists
// are renewed with the open output and input kept at their new positions; an output that
// vanishes is replaced by the default output, silently, as a failed switch does, and chosen again
// when it comes back; an output started anew gets its programs and volumes again.
class CToneGen final : public MidiDeviceListener {
 public:
  // Reads the stored device choices, lists the outputs, opens the default output, sends the
  // first programs and volumes and switches to the stored output. May end the process through
  // `messages` when no output can sound.
  CToneGen(MidiLayer& midi, UserMessages& messages, CIniFile& iniFile);
  // Silences the output (so that nothing goes on sounding on a device after the program), closes
  // it, then stops and closes the input.
  ~CToneGen();
  CToneGen(const CToneGen&) = delete;
  CToneGen& operator=(const CToneGen&) = delete;

  // --- sound ---
  void NoteOn(int noteValue);
  void NoteOff(int noteValue);
  void NotesOn(const NoteList& notes);
  void NotesOff(const NoteList& notes);
  // Mouse play and the Listen buttons: resets first unless mouseSustain, then plays 0..36.
  void MouseNote(int noteNumber);
  void Reset();
  void SendProgramsAndVolumes();

  void OctaveUp();
  void OctaveDown();
  void OctaveStandard();
  void SemitoneUp();
  void SemitoneDown();
  void SemitoneStandard();
  int OctaveShift() const { return octaveShift_; }
  int SemitoneShift() const { return semitoneShift_; }

  // --- devices ---
  // Stores the window that receives MIDI input and, when the hardware keyboard is enabled,
  // lists the inputs and opens one.
  void OpenMidiInput(MidiInputSink& window);
  void ChangeMidiOutDev(int outputPosition);
  void ChangeMidiInDev(int inputDevice);
  // Passes a note-on or note-off of MIDI channel 1 to every enabled layer.
  void MidiThru(ShortMessage message);
  // Lists the devices as they are now; the open output and input keep their place by name.
  void RefreshDeviceLists();
  // While held, port changes wait (the device dialog shows the lists it opened with); released,
  // what changed meanwhile is applied.
  void HoldDeviceLists(bool hold);
  void OnMidiDeviceChange(MidiDeviceChange change) override;

  // Fields the view and the dialogs read and write directly.
  bool mouseSustain = false;
  std::vector<std::string> outDeviceNames;  // entry 0 is the default output
  std::vector<std::string> inDeviceNames;
  int outDeviceIndex = 0;
  int inDeviceIndex = 0;
  int hardwareKeyboardEnabled = 0;
  Voice voice = Voice::Default();

 private:
  // Sends status | i for every enabled layer i, with data byte 1 = note + shifts + the layer's
  // transposition. A layer whose note falls outside 0..127 is skipped: it is no MIDI note.
  void SendToLayers(std::uint8_t status, std::int64_t note, std::uint8_t data2);
  // Lists the outputs, opens the default output and sends the first program and volumes.
  // False when the process has been ended.
  bool OpenStartupOutput();
  // Opens `inputDevice`, falling back to device 0, starts it and records the device in use.
  void OpenInputDevice(int inputDevice);
  // ChangeMidiOutDev without forgetting an output that vanished.
  void SwitchOutput(int outputPosition);
  // Opens the default output, as a failed switch does. Without one: the process ends when
  // `endWithoutOutput`, otherwise no output is open until a device comes (back). False then.
  bool FallBackToDefaultOutput(bool endWithoutOutput);
  // Shows a fatal MIDI error and ends the process; nothing may follow a call.
  void EndProcessWith(std::string_view text);

  MidiLayer& midi_;
  UserMessages& messages_;
  int octaveShift_ = 0;
  int semitoneShift_ = 0;
  MidiInputSink* hOrvaneWnd_ = nullptr;
  // The name of an output that vanished while open; chosen again when it comes back, until
  // another output is chosen.
  std::string vanishedOutput_;
  bool outputMissing_ = false;  // no output could be opened after one vanished
  bool inputsListed_ = false;
  bool holdLists_ = false;
  bool listsChanged_ = false;
  bool toldSynthStopped_ = false;
};

}  // namespace orvane
