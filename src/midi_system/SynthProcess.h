#pragma once

#include <memory>
#include <string>
#include <vector>

#include "midi_system/SystemProbe.h"
#include "process_common/SynthOutput.h"
#include "process_common/SynthProtocol.h"

// The built-in synthesizer runs in a process of its own (orvane-synth): FluidSynth, libpulse and
// their libraries load, and the SoundFont is read, in another address space, so the user
// interface starting beside them never waits for their dynamic loading or their memory mapping.
// See SynthProtocol.h for what the two say.

namespace orvane {

// The connection to a started synthesizer process. Whoever holds it may tell the process about
// the JACK server; the last holder's release closes it, and the process then ends.
class SynthLink;

// Where the synthesizer process may be (see ProgramFileCandidates).
std::vector<std::string> SynthProcessCandidates();

// Starts the first of `candidates` that runs. nullptr when none does (the synthesizer then cannot
// sound). Call it while no other thread may start a process: until the process has begun, its end
// of the connection is open in this one.
std::shared_ptr<SynthLink> StartSynthProcess(const std::vector<std::string>& candidates,
                                             bool dynamicSampleLoading);

// What the program learnt about the JACK server. Any thread, once; the process waits for it only
// when it would play through JACK, so every started process must be told, running or not.
void TellJackServer(SynthLink& link, const JackServerInfo& info) noexcept;

// Waits for the process's answer: the synthesizer when it can sound, otherwise nullptr (it could
// not, it ended, it is of another version, or it gave no answer within seconds).
std::unique_ptr<SynthOutput> AwaitSynth(std::shared_ptr<SynthLink> link);

}  // namespace orvane
