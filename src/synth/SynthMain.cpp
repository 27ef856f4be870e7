// The built-in synthesizer's process (orvane-synth), which the program starts first thing: it
// opens the synthesizer, answers whether it can sound, then plays what the program sends until
// the program closes the connection or ends. See SynthProtocol.h.
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "process_common/SynthProtocol.h"
#include "synth/BuiltInSynth.h"
#include "synth/SoundFontLocator.h"

namespace orvane {
namespace {

class ProgramConnection {
 public:
  explicit ProgramConnection(int socket) : socket_(socket) {}

  // The next request; false at the end of the connection.
  bool Next(SynthRequest& request) {
    for (;;) {
      const ssize_t got = recv(socket_, &request, sizeof request, 0);
      if (got == static_cast<ssize_t>(sizeof request)) return true;
      if (got > 0) continue;  // not a request of this version: passed over
      if (got < 0 && errno == EINTR) continue;
      return false;
    }
  }

  // The program waits for this before it sends anything but the JACK server's details.
  void Answer(const SynthOutput* synth) {
    const std::string path = synth != nullptr ? synth->SoundFontPath() : std::string();
    // A path the program could not take whole is answered as unable to sound.
    const bool canSound =
        synth != nullptr && sizeof(SynthAnswer) + path.size() <= kSynthAnswerMaxBytes;
    const SynthAnswer answer{.version = kSynthProtocolVersion, .canSound = canSound};
    std::string record(sizeof answer, '\0');
    std::memcpy(record.data(), &answer, sizeof answer);
    if (canSound) record += path;
    while (send(socket_, record.data(), record.size(), MSG_NOSIGNAL) < 0 && errno == EINTR) {
    }
  }

  // Asked only when the synthesizer would play through JACK: the program tells every process
  // once, from its port listing. Nothing else comes before the answer.
  JackServerInfo AwaitJackServer() {
    SynthRequest request{};
    while (!jack_ && Next(request)) {
      if (request.kind != SynthRequestKind::JackServer) continue;
      jack_ = JackServerInfo{};
      if (request.sampleRate > 0.0) {
        jack_ = JackServerInfo{.running = true,
                               .sampleRate = request.sampleRate,
                               .bufferFrames = static_cast<int>(request.value)};
      }
    }
    return jack_.value_or(JackServerInfo{});  // nothing when the program has gone
  }

 private:
  int socket_;
  std::optional<JackServerInfo> jack_;
};

int Serve(int socket, bool dynamicSampleLoading) {
  ProgramConnection program(socket);
  std::unique_ptr<BuiltInSynth> synth;
  if (std::vector<std::string> soundFonts = CompleteSoundFonts(); !soundFonts.empty()) {
    synth = BuiltInSynth::Open(
        dynamicSampleLoading, [&program] { return program.AwaitJackServer(); },
        std::move(soundFonts));
  }
  program.Answer(synth.get());
  if (synth == nullptr) return 0;
  SynthRequest request{};
  while (program.Next(request)) {
    switch (request.kind) {
      case SynthRequestKind::Message:
        synth->Send(request.value);
        break;
      case SynthRequestKind::AllNotesOff:
        synth->AllNotesOff();
        break;
      case SynthRequestKind::ChannelsInUse:
        synth->SetChannelsInUse(static_cast<std::uint16_t>(request.value));
        break;
      case SynthRequestKind::JackServer:
        break;  // needed only while opening
    }
  }
  return 0;  // the synthesizer closes here: the sound ends with the program
}

}  // namespace
}  // namespace orvane

int main(int argc, char* argv[]) {
  int socket = -1;
  bool dynamicSampleLoading = true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == orvane::kSynthConnectionOption && i + 1 < argc) {
      char* end = nullptr;
      const long value = std::strtol(argv[++i], &end, 10);
      if (end != argv[i] && *end == '\0' && value >= 0 && value < 1024) {
        socket = static_cast<int>(value);
      }
    } else if (argument == orvane::kSynthAllSamplesOption) {
      dynamicSampleLoading = false;
    }
  }
  int type = 0;
  socklen_t length = sizeof type;
  if (socket < 0 || getsockopt(socket, SOL_SOCKET, SO_TYPE, &type, &length) != 0 ||
      type != SOCK_SEQPACKET) {
    std::fprintf(stderr, "orvane-synth: the Tellak Orvane program starts this itself\n");
    return 2;
  }
  // Nothing this process starts keeps the program's connection open.
  fcntl(socket, F_SETFD, FD_CLOEXEC);
  // Ctrl+C and a closed terminal reach the whole process group; the program handles them and
  // then closes the connection, which ends this process after its last sound.
  signal(SIGINT, SIG_IGN);
  signal(SIGHUP, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
  return orvane::Serve(socket, dynamicSampleLoading);
}
