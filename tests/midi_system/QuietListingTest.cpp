#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "midi_system/SystemMidiLayer.h"

namespace orvane {
namespace {

// Captures what the process writes to its standard error (file descriptor 2, where libasound,
// libjack and RtMidi write) while alive.
class StderrCapture {
 public:
  StderrCapture() : file_(std::tmpfile()), saved_(dup(2)) {
    std::fflush(stderr);
    dup2(fileno(file_), 2);
  }
  ~StderrCapture() {
    Restore();
    std::fclose(file_);
  }
  std::string Text() {
    Restore();
    std::rewind(file_);
    std::string text;
    for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_)) text += static_cast<char>(c);
    return text;
  }

 private:
  void Restore() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
    saved_ = -1;
  }
  std::FILE* file_;
  int saved_;
};

// Here neither the ALSA sequencer nor a JACK server exists (the server name is made up), and no
// PulseAudio server runs: listing and starting must say nothing on the terminal, and without any
// way to sound there is no output to count.
TEST(QuietListing, AbsentMidiAndAudioSystemsLeaveTheTerminalQuiet) {
  setenv("JACK_DEFAULT_SERVER", ("orvane-absent-" + std::to_string(getpid())).c_str(), 1);
  setenv("PULSE_SERVER", "unix:/nonexistent/orvane-absent", 1);
  StderrCapture capture;
  int outputs = -1;
  {
    SystemMidiLayer midi([] {}, {});
    outputs = midi.OutputDeviceCount();
    midi.OpenOutput(kDefaultOutput);
    midi.SendShortMessage(PackShortMessage(0x90, 60, 127));
    midi.ResetOutput();
  }
  const std::string said = capture.Text();
  EXPECT_EQ(said, "");
  if (access("/dev/snd", F_OK) != 0) {
    EXPECT_EQ(outputs, 0);
  }
}

}  // namespace
}  // namespace orvane
