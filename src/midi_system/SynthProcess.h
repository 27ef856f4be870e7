#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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
// sound). Until the process has begun, its end of the connection is open in this process (closed
// on exec), so a fork of another thread without exec would keep it.
std::shared_ptr<SynthLink> StartSynthProcess(const std::vector<std::string>& candidates,
                                             bool dynamicSampleLoading);

// What the program learnt about the JACK server. Any thread, once; the process waits for it only
// when it would play through JACK, so every started process must be told, running or not.
void TellJackServer(SynthLink& link, const JackServerInfo& info) noexcept;

// The JACK server as a new client finds it now (nothing when none runs).
JackServerInfo CurrentJackServer();

class SynthProcessOutput;

// Waits for the process's answer: the synthesizer when it can sound, otherwise nullptr (it could
// not, it ended, or it is of another version). A process that lives is waited for however long
// it takes: a slow start delays the program, it never decides that nothing can sound.
std::unique_ptr<SynthProcessOutput> AwaitSynth(std::shared_ptr<SynthLink> link);

// The synthesizer as the MIDI layer drives it: each call is one request to the process, sent at
// once, or queued in order while the process is behind (SynthBacklog). The connection is given
// up only when the process has ended; it is then reaped at once.
//
// Once told to (RestartWhenEnded), a process that ends is followed by a new one, started on a
// thread of this object's own; the sender keeps sending meanwhile, to nowhere. The new process
// takes over when the user-interface thread asks for news (TakeChange), which the waker given
// prompts. A process that cannot be started, or that ends within seconds of its start, is a
// failure; after three failures within a minute no process is started again.
class SynthProcessOutput final : public SynthOutput {
 public:
  enum class Change { None, Restarted, GaveUp };

  SynthProcessOutput(std::shared_ptr<SynthLink> link, std::string soundFont);
  ~SynthProcessOutput() override;
  SynthProcessOutput(const SynthProcessOutput&) = delete;
  SynthProcessOutput& operator=(const SynthProcessOutput&) = delete;

  void Send(ShortMessage message) noexcept override;
  void AllNotesOff() noexcept override;
  void SetChannelsInUse(std::uint16_t channels) noexcept override;
  const std::string& SoundFontPath() const override { return soundFont_; }

  // From now on an ended process is started again from `candidates`; `wake` is called on another
  // thread whenever TakeChange() has news. Once only.
  void RestartWhenEnded(std::vector<std::string> candidates, bool dynamicSampleLoading,
                        std::function<void()> wake);
  // On the sending thread: a restarted process takes over (Restarted: it knows no program or
  // volume yet), or no process will be started again (GaveUp, said once).
  Change TakeChange();
  // The process now playing, for tests; -1 when none.
  pid_t ProcessId() const;

 private:
  void OnEnded();
  void Restart();
  bool Send(const SynthRequest& request) noexcept;

  std::shared_ptr<SynthLink> link_;  // sending thread only
  std::string soundFont_;

  std::vector<std::string> candidates_;
  bool dynamicSampleLoading_ = true;
  std::function<void()> wake_;
  std::mutex mutex_;  // guards what follows
  std::condition_variable changed_;
  std::shared_ptr<SynthLink> started_;  // the restarted process, until it takes over
  bool ended_ = false;                  // the newest process ended
  bool gaveUp_ = false;
  bool gaveUpTold_ = false;
  std::atomic<bool> stopping_{false};
  std::thread restarter_;
};

}  // namespace orvane
