// The device half of the tone generator: start-up, switching and closing of the MIDI output and
// input.
#include <cstddef>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "core/UserMessages.h"
#include "core/config/IniFile.h"
#include "core/config/Settings.h"
#include "core/midi/DeviceMessages.h"
#include "core/midi/MidiBytes.h"
#include "core/midi/ToneGen.h"

namespace orvane {
namespace {

using midi::kProgramChange;
using namespace device_messages;

constexpr int kFailureStatus = 1;

}  // namespace

CToneGen::CToneGen(MidiLayer& midi, UserMessages& messages, CIniFile& iniFile)
    : midi_(midi), messages_(messages) {
  using namespace settings;
  iniFile.PrepareFile(kFileName);
  hardwareKeyboardEnabled = iniFile.ReadInt(kCommonSection, kHardwareKeyboardEnabled, 0);
  inDeviceIndex = iniFile.ReadInt(kCommonSection, kInDeviceIndex, 0);
  if (!OpenStartupOutput()) return;
  SendProgramsAndVolumes();
  ChangeMidiOutDev(iniFile.ReadInt(kCommonSection, kOutDeviceIndex, 0));
  midi_.SetDeviceListener(this);
}

CToneGen::~CToneGen() {
  midi_.SetDeviceListener(nullptr);
  // A device outlives the program: what sounds on it when its port closes would sound on.
  Reset();
  midi_.CloseOutput();
  midi_.StopInput();
  midi_.CloseInput();
}

void CToneGen::EndProcessWith(std::string_view text) {
  messages_.ShowMessage(text, kErrorCaption, MessageIcon::Warning);
  messages_.EndProcess(kFailureStatus);
}

bool CToneGen::OpenStartupOutput() {
  std::string_view failure;
  try {
    const int count = midi_.OutputDeviceCount();
    if (count <= 0) {
      failure = kNoOutputs;
    } else {
      outDeviceNames.reserve(static_cast<std::size_t>(count) + 1);
      outDeviceNames.push_back(midi_.OutputDeviceName(kDefaultOutput));
      for (int device = 0; device < count; ++device) {
        outDeviceNames.push_back(midi_.OutputDeviceName(device));
      }
      if (!midi_.OpenOutput(kDefaultOutput)) failure = kOutputOpenFailed;
    }
  } catch (const std::exception&) {
    failure = kDevicesFailed;
  }
  if (!failure.empty()) {
    EndProcessWith(failure);
    return false;
  }

  // Channel 1 gets patch 0 before anything else, then every channel its volume.
  midi_.SendShortMessage(PackShortMessage(kProgramChange, 0, 0));
  for (int channel = 0; channel < kLayerCount; ++channel) {
    midi_.SendShortMessage(midi::ChannelVolumeMessage(channel, voice.volume[channel]));
  }
  return true;
}

void CToneGen::ChangeMidiOutDev(int outputPosition) {
  vanishedOutput_.clear();
  SwitchOutput(outputPosition);
}

void CToneGen::SwitchOutput(int outputPosition) {
  Reset();
  midi_.CloseOutput();
  // Position 0 is the default output, position k >= 1 device k-1; anything else opens nothing.
  bool opened = false;
  if (outputPosition == 0) {
    opened = midi_.OpenOutput(kDefaultOutput);
  } else if (outputPosition > 0) {
    opened = midi_.OpenOutput(outputPosition - 1);
  }
  if (!opened && outputPosition != 0) {
    outputPosition = 0;
    opened = midi_.OpenOutput(kDefaultOutput);
  }
  if (!opened) {
    EndProcessWith(kOutputOpenFailed);
    return;
  }
  outDeviceIndex = outputPosition;
  outputMissing_ = false;
  SendProgramsAndVolumes();
}

void CToneGen::OpenMidiInput(MidiInputSink& window) {
  hOrvaneWnd_ = &window;
  if (hardwareKeyboardEnabled == 0) return;

  bool listed = false;
  try {
    const int count = midi_.InputDeviceCount();
    if (count <= 0) {
      messages_.ShowMessage(kNoInputs, kErrorCaption, MessageIcon::Warning);
      return;
    }
    inDeviceNames.clear();
    inDeviceNames.reserve(static_cast<std::size_t>(count));
    for (int device = 0; device < count; ++device) {
      inDeviceNames.push_back(midi_.InputDeviceName(device));
    }
    listed = true;
    inputsListed_ = true;
  } catch (const std::exception&) {
    listed = false;
  }
  if (!listed) {
    EndProcessWith(kDevicesFailed);
    return;
  }
  // The stored device when it is there, so the keyboard chosen last time plays again.
  OpenInputDevice(inDeviceIndex);
}

void CToneGen::ChangeMidiInDev(int inputDevice) {
  if (hOrvaneWnd_ == nullptr) {
    messages_.ShowMessage(kNoWindow, kNoWindowCaption, MessageIcon::Warning);
    return;
  }
  midi_.StopInput();
  midi_.CloseInput();
  OpenInputDevice(inputDevice);
}

void CToneGen::OpenInputDevice(int inputDevice) {
  bool opened = midi_.OpenInput(inputDevice, *hOrvaneWnd_);
  if (!opened && inputDevice != 0) {
    inputDevice = 0;
    opened = midi_.OpenInput(inputDevice, *hOrvaneWnd_);
  }
  if (opened) {
    midi_.StartInput();
  } else {
    messages_.ShowMessage(kInputOpenFailed, kErrorCaption, MessageIcon::Warning);
  }
  inDeviceIndex = inputDevice;
}

namespace {

// The position of `name` in `names` from `first` on, preferring `previous` when two are alike;
// -1 when it is not there.
int FindName(const std::vector<std::string>& names, const std::string& name, int first,
             int previous) {
  if (previous >= first && previous < static_cast<int>(names.size()) &&
      names[static_cast<std::size_t>(previous)] == name) {
    return previous;
  }
  for (int position = first; position < static_cast<int>(names.size()); ++position) {
    if (names[static_cast<std::size_t>(position)] == name) return position;
  }
  return -1;
}

std::string NameAt(const std::vector<std::string>& names, int position) {
  if (position < 0 || position >= static_cast<int>(names.size())) return {};
  return names[static_cast<std::size_t>(position)];
}

}  // namespace

void CToneGen::RefreshDeviceLists() {
  const std::string output = outDeviceIndex > 0 ? NameAt(outDeviceNames, outDeviceIndex) : "";
  const std::string input = NameAt(inDeviceNames, inDeviceIndex);
  midi_.RefreshDevices();
  std::vector<std::string> outputs;
  std::vector<std::string> inputs;
  try {
    const int outputCount = midi_.OutputDeviceCount();
    outputs.push_back(midi_.OutputDeviceName(kDefaultOutput));
    for (int device = 0; device < outputCount; ++device) {
      outputs.push_back(midi_.OutputDeviceName(device));
    }
    // The input list stays empty when the hardware keyboard was off at start-up.
    const int inputCount = inputsListed_ ? midi_.InputDeviceCount() : 0;
    for (int device = 0; device < inputCount; ++device) {
      inputs.push_back(midi_.InputDeviceName(device));
    }
  } catch (const std::exception&) {
    return;  // the lists as they were
  }
  outDeviceNames = std::move(outputs);
  if (inputsListed_) inDeviceNames = std::move(inputs);
  // An input that is not there now (unplugged) keeps its position until it is back.
  if (const int position = FindName(inDeviceNames, input, 0, inDeviceIndex); position >= 0) {
    inDeviceIndex = position;
  }
  if (!output.empty()) {
    const int position = FindName(outDeviceNames, output, 1, outDeviceIndex);
    if (position < 0) {
      // Gone with its device or its server: the default output plays until it is back. With
      // nothing else there (a JACK server restarting), nothing plays until something is back.
      vanishedOutput_ = output;
      FallBackToDefaultOutput(false);
      return;
    }
    outDeviceIndex = position;
  }
  if (!vanishedOutput_.empty()) {
    if (const int position = FindName(outDeviceNames, vanishedOutput_, 1, -1); position > 0) {
      SwitchOutput(position);
      if (outDeviceIndex == position) vanishedOutput_.clear();
      return;
    }
  }
  if (outputMissing_) FallBackToDefaultOutput(false);
}

void CToneGen::HoldDeviceLists(bool hold) {
  holdLists_ = hold;
  if (!hold && listsChanged_) {
    listsChanged_ = false;
    RefreshDeviceLists();
  }
}

bool CToneGen::FallBackToDefaultOutput(bool endWithoutOutput) {
  Reset();
  midi_.CloseOutput();
  outDeviceIndex = 0;
  bool opened = false;
  int outputs = 0;
  try {
    opened = midi_.OpenOutput(kDefaultOutput);
    outputs = midi_.OutputDeviceCount();
  } catch (const std::exception&) {
    opened = false;
  }
  outputMissing_ = !opened;
  if (!opened) {
    if (endWithoutOutput) EndProcessWith(outputs > 0 ? kOutputOpenFailed : kNoOutputs);
    return false;
  }
  SendProgramsAndVolumes();
  return true;
}

void CToneGen::OnMidiDeviceChange(MidiDeviceChange change) {
  switch (change) {
    case MidiDeviceChange::PortsChanged:
      if (holdLists_) {
        listsChanged_ = true;
      } else {
        RefreshDeviceLists();
      }
      break;
    case MidiDeviceChange::OutputRestarted:
      // As after a switch: the new output hears the voice's programs and volumes.
      SendProgramsAndVolumes();
      break;
    case MidiDeviceChange::SynthGaveUp:
      // The synthesizer, the open output, is gone for good: the default output now is the first
      // port, opened as a failed switch opens it. The lists lose the synthesizer.
      outDeviceIndex = 0;
      vanishedOutput_.clear();
      if (holdLists_) {
        listsChanged_ = true;
      } else {
        RefreshDeviceLists();
      }
      if (!FallBackToDefaultOutput(true)) return;
      if (!toldSynthStopped_) {
        toldSynthStopped_ = true;
        messages_.ShowMessage(kSynthStopped, kErrorCaption, MessageIcon::Warning);
      }
      break;
  }
}

}  // namespace orvane
