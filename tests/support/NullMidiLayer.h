#pragma once

#include <cstddef>
#include <cstdlib>
#include <string>

#include "core/UserMessages.h"
#include "core/midi/MidiLayer.h"

namespace orvane::testing {

// One output that swallows every message and only counts it; no inputs. For benchmarks and
// fuzzing, where recording would cost more than the code measured.
class NullMidiLayer : public MidiLayer {
 public:
  std::size_t sent = 0;

  int OutputDeviceCount() override { return 1; }
  std::string OutputDeviceName(int) override { return "Null output"; }
  bool OpenOutput(int) override { return true; }
  void CloseOutput() override {}
  void SendShortMessage(ShortMessage) override { ++sent; }
  void ResetOutput() override {}
  int InputDeviceCount() override { return 0; }
  std::string InputDeviceName(int) override { return {}; }
  bool OpenInput(int, MidiInputSink&) override { return false; }
  void StartInput() override {}
  void StopInput() override {}
  void CloseInput() override {}
};

// Shows nothing. Ending the process is not expected where it is used, so it aborts loudly.
class SilentUserMessages : public UserMessages {
 public:
  void ShowMessage(std::string_view, std::string_view, MessageIcon) override {}
  [[noreturn]] void EndProcess(int) override { std::abort(); }
};

}  // namespace orvane::testing
