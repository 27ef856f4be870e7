#pragma once

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

namespace orvane::testing {

// The user an unprivileged child process runs as when the tests run as root ("nobody").
inline constexpr unsigned kUnprivilegedId = 65534;

inline bool RunningAsRoot() {
  return ::geteuid() == 0;
}

// Gives `path` and everything below it to the unprivileged user, so a body run as that user
// meets the permission bits as a normal user would. Nothing to do when not root.
inline void HandToUnprivilegedUser(const std::filesystem::path& path) {
  if (!RunningAsRoot()) return;
  ASSERT_EQ(::lchown(path.c_str(), kUnprivilegedId, kUnprivilegedId), 0) << path;
  if (!std::filesystem::is_directory(path)) return;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
    ASSERT_EQ(::lchown(entry.path().c_str(), kUnprivilegedId, kUnprivilegedId), 0) << entry;
  }
}

// Runs `body` as a user that permission bits bind: this process when it is not root, else a
// child process that drops to the unprivileged user. The child's failures fail the test; they
// are printed by the child itself.
inline void RunUnprivileged(const std::function<void()>& body) {
  if (!RunningAsRoot()) {
    body();
    return;
  }
  std::fflush(nullptr);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0) << "fork";
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(kUnprivilegedId) != 0 ||
        ::setuid(kUnprivilegedId) != 0) {
      ::_exit(77);
    }
    body();
    std::fflush(nullptr);
    ::_exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the unprivileged child died, status " << status;
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot drop root privileges here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the unprivileged part failed (its messages are above)";
}

// Sets or clears the immutable flag of a folder (as `chattr +i` does): then nothing in it can be
// created, removed or renamed, while its files stay writable. False where the file system or
// the process's privileges do not allow it.
inline bool SetImmutableFlag(const std::filesystem::path& folder, bool on) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return ok;
}

// Runs `prepare` and then `body` with `folder` taking no new files while its files stay
// writable, once for each way this process can bring that about: the immutable flag (root, on a
// file system that keeps it) and mode 0555 (as an unprivileged user; root hands the folder to
// one and runs `body` as that user). The folder takes new files again afterwards, also when the
// body fails. `prepare` runs with the folder writable and must set up its files afresh.
inline void ForEachFolderTakingNoNewFiles(const std::filesystem::path& folder,
                                          const std::function<void()>& prepare,
                                          const std::function<void()>& body) {
  namespace fs = std::filesystem;
  struct Unlock {
    const fs::path& folder;
    ~Unlock() {
      SetImmutableFlag(folder, false);
      std::error_code ignored;
      fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  };
  if (RunningAsRoot()) {
    prepare();
    if (SetImmutableFlag(folder, true)) {
      SCOPED_TRACE("immutable folder");
      const Unlock unlock{folder};
      body();
    } else {
      std::printf("the immutable flag is not available here; mode 0555 only\n");
    }
  }
  SCOPED_TRACE("folder of mode 0555");
  prepare();
  HandToUnprivilegedUser(folder);
  const Unlock unlock{folder};
  fs::permissions(folder,
                  fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                      fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec,
                  fs::perm_options::replace);
  RunUnprivileged(body);
}

}  // namespace orvane::testing
