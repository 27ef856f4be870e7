#pragma once

#include <cstddef>
#include <cstdint>

// What the program and its synthesizer process say to each other over their one connection (a
// SOCK_SEQPACKET socket pair: every record arrives whole, and the end of either side is seen).
//
// The program starts the process (SynthProcess.h). The process opens the synthesizer and answers
// once; from then on the program sends requests and the process carries them out in order. When
// the program closes its end, or ends in any way, the process lets the sound end and exits.

namespace orvane {

// Raised whenever a record below changes: a synthesizer process of another version (left behind
// by another installation) answers with its own and is not used.
inline constexpr std::uint32_t kSynthProtocolVersion = 2;

inline constexpr const char* kSynthProcessFileName = "orvane-synth";
// Its arguments: the connection's file descriptor, and whether every instrument is read at once.
inline constexpr const char* kSynthConnectionOption = "--connection";
inline constexpr const char* kSynthAllSamplesOption = "--all-samples";

enum class SynthRequestKind : std::uint32_t {
  Message = 1,        // value: a short MIDI message
  AllNotesOff = 2,    // every sounding note ends
  ChannelsInUse = 3,  // value: bit i set when channel i plays notes
  JackServer = 4,     // value: the server's period in frames; sampleRate 0 when none runs
};

struct SynthRequest {
  SynthRequestKind kind;
  std::uint32_t value;
  double sampleRate;
};

// What the program tells the process of the JACK server it found while listing ports, so the
// process need not open a client of its own to ask.
struct JackServerInfo {
  bool running = false;
  double sampleRate = 0.0;
  int bufferFrames = 0;
};

// The answer: this header, then the path of the SoundFont it plays (no terminating zero).
struct SynthAnswer {
  std::uint32_t version;
  std::uint32_t canSound;
};
inline constexpr std::size_t kSynthAnswerMaxBytes = sizeof(SynthAnswer) + 4096;

}  // namespace orvane
