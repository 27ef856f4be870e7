#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "TempDir.h"
#include "synth/AudioServerProbe.h"
#include "synth/PipeWireOutput.h"

namespace orvane {
namespace {

std::string SocketPathFor(const std::map<std::string, std::string>& variables) {
  return PulseSocketPath([&variables](const char* name) -> const char* {
    const auto found = variables.find(name);
    return found != variables.end() ? found->second.c_str() : nullptr;
  });
}

TEST(PulseProbe, SocketPathFollowsTheEnvironmentAsPulseAudioClientsDo) {
  EXPECT_EQ(SocketPathFor({{"XDG_RUNTIME_DIR", "/run/user/1000"}}), "/run/user/1000/pulse/native");
  EXPECT_EQ(SocketPathFor({{"XDG_RUNTIME_DIR", "/run/user/1000"}, {"PULSE_RUNTIME_PATH", "/p"}}),
            "/p/native");
  EXPECT_EQ(
      SocketPathFor({{"XDG_RUNTIME_DIR", "/run/user/1000"}, {"PULSE_SERVER", "unix:/srv/pulse"}}),
      "/srv/pulse");
  EXPECT_EQ(SocketPathFor({{"PULSE_SERVER", "/srv/pulse"}}), "/srv/pulse");
  // Anything but one local socket is left to libpulse, which knows every form.
  for (const char* server : {"tcp:studio:4713", "studio", "unix:/a unix:/b", "unix:relative"}) {
    EXPECT_EQ(SocketPathFor({{"XDG_RUNTIME_DIR", "/run/user/1000"}, {"PULSE_SERVER", server}}), "")
        << server;
  }
  EXPECT_EQ(SocketPathFor({}), "");
  EXPECT_EQ(SocketPathFor({{"XDG_RUNTIME_DIR", "relative"}}), "");
}

TEST(PipeWireProbe, SocketPathFollowsTheEnvironmentAsPipeWireClientsDo) {
  const auto path = [](const std::map<std::string, std::string>& variables) {
    return PipeWireSocketPath([&variables](const char* name) -> const char* {
      const auto found = variables.find(name);
      return found != variables.end() ? found->second.c_str() : nullptr;
    });
  };
  EXPECT_EQ(path({{"XDG_RUNTIME_DIR", "/run/user/1000"}}), "/run/user/1000/pipewire-0");
  EXPECT_EQ(path({{"XDG_RUNTIME_DIR", "/run/user/1000"}, {"PIPEWIRE_RUNTIME_DIR", "/p"}}),
            "/p/pipewire-0");
  EXPECT_EQ(path({{"XDG_RUNTIME_DIR", "/r"}, {"PIPEWIRE_REMOTE", "studio"}}), "/r/studio");
  EXPECT_EQ(path({{"XDG_RUNTIME_DIR", "/r"}, {"PIPEWIRE_REMOTE", "/srv/pw"}}), "/srv/pw");
  EXPECT_EQ(path({}), "");
  EXPECT_EQ(path({{"XDG_RUNTIME_DIR", "relative"}}), "");
}

// The quantum asked of PipeWire: frames at 48 kHz, or frames/rate; anything else is the default.
TEST(PipeWireProbe, LatencyFromTheEnvironment) {
  EXPECT_EQ(PipeWireLatency(nullptr), "128/48000");
  EXPECT_EQ(PipeWireLatency(""), "128/48000");
  EXPECT_EQ(PipeWireLatency("64"), "64/48000");
  EXPECT_EQ(PipeWireLatency("256/44100"), "256/44100");
  EXPECT_EQ(PipeWireLatency("16/48000"), "16/48000");
  for (const char* wrong :
       {"abc", "8", "9000", "64/", "/48000", "64/1000", "64/48000x", " 64", "-64", "64/48000/2"}) {
    EXPECT_EQ(PipeWireLatency(wrong), "128/48000") << wrong;
  }
}

// A Unix socket at `path`, listening as long as the object lives unless closed.
class FakeServerSocket {
 public:
  explicit FakeServerSocket(const std::string& path) : fd_(socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(fd_, 4), 0);
  }
  ~FakeServerSocket() { Close(); }
  FakeServerSocket(const FakeServerSocket&) = delete;
  FakeServerSocket& operator=(const FakeServerSocket&) = delete;
  // What a server that ended without removing its socket leaves.
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

// The user's server is known by its socket taking a connection, without a PulseAudio handshake
// (this fake server could not answer one); a socket nobody listens on any more is asked of
// libpulse, which finds no server there either and starts none.
TEST(PulseProbe, ServerIsThereExactlyWhenItsSocketListens) {
  const testing::TempDir runtime;
  std::filesystem::create_directory(runtime.path() / "pulse");
  unsetenv("PULSE_SERVER");
  unsetenv("PULSE_RUNTIME_PATH");
  unsetenv("DISPLAY");
  setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
  FakeServerSocket server(runtime.File("pulse/native"));
  EXPECT_TRUE(PulseServerRunning());
  server.Close();
  EXPECT_FALSE(PulseServerRunning());
  setenv("PULSE_SERVER", ("unix:" + runtime.File("pulse/native")).c_str(), 1);
  EXPECT_FALSE(PulseServerRunning());
}

}  // namespace
}  // namespace orvane
