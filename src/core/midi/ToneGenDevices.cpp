// The device half of the tone generator: start-up, switching and closing of the MIDI output and
// input.
#include <cstddef>
#include <exception>

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
}

CToneGen::~CToneGen() {
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

}  // namespace orvane
