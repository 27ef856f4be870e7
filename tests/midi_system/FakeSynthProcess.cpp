// A synthesizer process for tests: answers as this build's process does, then writes every
// request it reads, one line "PID KIND VALUE" (VALUE in hexadecimal), to the file named by
// ORVANE_FAKE_SYNTH_LOG, after a line "PID start". While the file named by ORVANE_FAKE_SYNTH_FAIL
// exists it answers that it cannot sound and ends, as a process without audio does.
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "process_common/SynthProtocol.h"

int main(int argc, char* argv[]) {
  int socket = -1;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string_view(argv[i]) == orvane::kSynthConnectionOption)
      socket = std::atoi(argv[i + 1]);
  }
  if (socket < 0) return 2;
  const char* logPath = std::getenv("ORVANE_FAKE_SYNTH_LOG");
  std::FILE* log = logPath != nullptr ? std::fopen(logPath, "a") : nullptr;
  const long pid = static_cast<long>(getpid());
  if (log != nullptr) {
    std::fprintf(log, "%ld start\n", pid);
    std::fflush(log);
  }
  const char* failPath = std::getenv("ORVANE_FAKE_SYNTH_FAIL");
  const bool fail = failPath != nullptr && access(failPath, F_OK) == 0;
  const std::string soundFont = "/fake/General.sf2";
  std::string record(sizeof(orvane::SynthAnswer), '\0');
  const orvane::SynthAnswer answer{.version = orvane::kSynthProtocolVersion,
                                   .canSound = fail ? 0u : 1u};
  std::memcpy(record.data(), &answer, sizeof answer);
  if (!fail) record += soundFont;
  send(socket, record.data(), record.size(), MSG_NOSIGNAL);
  if (fail) return 0;
  orvane::SynthRequest request{};
  for (;;) {
    const ssize_t got = recv(socket, &request, sizeof request, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got != static_cast<ssize_t>(sizeof request)) break;
    if (log != nullptr) {
      std::fprintf(log, "%ld %u %x\n", pid, static_cast<unsigned>(request.kind), request.value);
      std::fflush(log);
    }
  }
  return 0;
}
