#pragma once

#include <cstdint>
#include <string>

namespace orvane {

// A short MIDI message packed as the platform sends it: status in bits 0-7, data byte 1 in
// bits 8-15, data byte 2 in bits 16-23, bits 24-31 zero.
using ShortMessage = std::uint32_t;

constexpr ShortMessage PackShortMessage(std::uint8_t status, std::uint8_t data1,
                                        std::uint8_t data2) {
  return ShortMessage{status} | (ShortMessage{data1} << 8) | (ShortMessage{data2} << 16);
}
constexpr std::uint8_t StatusByte(ShortMessage message) {
  return message & 0xFFu;
}
constexpr std::uint8_t DataByte1(ShortMessage message) {
  return (message >> 8) & 0xFFu;
}
constexpr std::uint8_t DataByte2(ShortMessage message) {
  return (message >> 16) & 0xFFu;
}

// A MIDI port's channels; the instrument's layer i plays on channel i.
inline constexpr int kMidiChannelCount = 16;

// The output number of the default output (the built-in synthesizer where it can sound).
inline constexpr int kDefaultOutput = -1;

// Receives the short messages of the open MIDI input, on the user-interface thread, in order.
class MidiInputSink {
 public:
  virtual void OnMidiInput(ShortMessage message) = 0;

 protected:
  ~MidiInputSink() = default;
};

// What changed among the devices while the program runs.
enum class MidiDeviceChange {
  // Ports came or went (plugged in or out, a JACK client or server started or stopped), or the
  // built-in synthesizer is no output any more: RefreshDevices() numbers them anew.
  PortsChanged,
  // The open output was started again (the built-in synthesizer's process after it ended, a
  // port opened anew after its device came back): it knows no program or volume.
  OutputRestarted,
  // The open output, the built-in synthesizer, cannot be started again and is closed; the
  // devices are numbered anew without it.
  SynthGaveUp,
};

// Hears of device changes, on the user-interface thread, between other events.
class MidiDeviceListener {
 public:
  virtual void OnMidiDeviceChange(MidiDeviceChange change) = 0;

 protected:
  ~MidiDeviceListener() = default;
};

// The machine's MIDI services, numbered as the rest of the program sees them: output devices
// 0..n-1 plus the default output kDefaultOutput, input devices 0..n-1. At most one output and
// one input are open at a time. Sends and resets on a closed or vanished device do nothing.
// The send path must not allocate, lock or log: it runs once per note and layer.
class MidiLayer {
 public:
  virtual ~MidiLayer() = default;

  // Listing may throw std::exception when the system's MIDI service fails.
  virtual int OutputDeviceCount() = 0;
  virtual std::string OutputDeviceName(int device) = 0;  // device may be kDefaultOutput
  virtual bool OpenOutput(int device) = 0;               // true on success
  virtual void CloseOutput() = 0;                        // harmless when nothing is open
  virtual void SendShortMessage(ShortMessage message) = 0;
  // All notes off on all 16 channels, as a device reset does; programs and volumes stay.
  virtual void ResetOutput() = 0;
  // Bit i set: channel i is going to play notes. Sent before programs and volumes, it lets an
  // output that prepares instruments (the built-in synthesizer loads their samples) skip the
  // channels that stay silent; it sends nothing and changes no message. All 16 channels count
  // as in use until it is first called.
  virtual void SetChannelsInUse(std::uint16_t /*channels*/) {}

  virtual int InputDeviceCount() = 0;
  virtual std::string InputDeviceName(int device) = 0;
  // Messages reach the sink only after StartInput, and only on the user-interface thread.
  virtual bool OpenInput(int device, MidiInputSink& sink) = 0;
  virtual void StartInput() = 0;  // each of these three is harmless when no input is open
  virtual void StopInput() = 0;
  virtual void CloseInput() = 0;

  // Device changes go to `listener` (nullptr: nowhere) from now on.
  virtual void SetDeviceListener(MidiDeviceListener* /*listener*/) {}
  // Lists the devices as they are now. The open output and input keep their devices, which may
  // take other numbers; an input device that vanished is opened again once it is back.
  virtual void RefreshDevices() {}
};

}  // namespace orvane
