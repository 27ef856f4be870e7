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
