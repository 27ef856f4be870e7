#include "core/config/AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "LockedFolder.h"
#include "TempDir.h"

namespace fs = std::filesystem;

namespace orvane::testing {
namespace {

std::string Content(const fs::path& path) {
  const auto content = ReadWholeFile(path);
  return content && content->exists ? content->bytes : std::string("<missing>");
}

int EntriesIn(const fs::path& folder) {
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++entries;
  return entries;
}

TEST(AtomicFile, ExistingFileIsWrittenInPlaceWhenItsFolderTakesNoNewFiles) {
  TempDir dir;
  const fs::path file = dir.path() / "Orvane.orvset";
  const fs::path fresh = dir.path() / "New.orvane";
  const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  ForEachFolderTakingNoNewFiles(
      dir.path(),
      [&] {
        dir.Write("Orvane.orvset", "the old voice, longer than the new one");
        fs::permissions(file, mode, fs::perm_options::replace);
      },
      [&] {
        EXPECT_TRUE(ReplaceFileAtomically(file, "new voice"));
        EXPECT_EQ(Content(file), "new voice");
        EXPECT_TRUE(ReplaceFileAtomically(file, std::string(300, 'x')));
        EXPECT_EQ(Content(file), std::string(300, 'x'));
        EXPECT_EQ(fs::status(file).permissions(), mode);
        // A new file cannot be made there, and saying so is the caller's business.
        EXPECT_FALSE(ReplaceFileAtomically(fresh, "voice"));
        EXPECT_FALSE(fs::exists(fresh));
        EXPECT_EQ(EntriesIn(dir.path()), 1) << "no temporary file is left";
      });
}

TEST(AtomicFile, AnotherUsersFileInAStickyFolderIsWrittenInPlace) {
  // The rename over a file of another user is refused there; writing into it is not.
  if (!RunningAsRoot()) GTEST_SKIP() << "needs a second user";
  TempDir dir;
  const fs::path file = dir.path() / "Orvane.ini";
  dir.Write("Orvane.ini", "[POSITION]\nLEFT=0\n");
  ASSERT_EQ(::chmod(file.c_str(), 0666), 0);
  ASSERT_EQ(::chmod(dir.path().c_str(), 01777), 0);
  RunUnprivileged([&] {
    EXPECT_TRUE(ReplaceFileAtomically(file, "[POSITION]\nLEFT=5\n"));
    EXPECT_EQ(Content(file), "[POSITION]\nLEFT=5\n");
    EXPECT_EQ(EntriesIn(dir.path()), 1) << "no temporary file is left";
  });
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 0u) << "still root's file";
}

TEST(AtomicFile, ReplacementIsAtomicWhereTheFolderAllowsIt) {
  // Atomic: the old file's inode stays intact for readers that hold it open.
  TempDir dir;
  const fs::path file = dir.path() / "Orvane.ini";
  dir.Write("Orvane.ini", "old");
  struct stat before {};
  ASSERT_EQ(::stat(file.c_str(), &before), 0);
  EXPECT_TRUE(ReplaceFileAtomically(file, "new"));
  struct stat after {};
  ASSERT_EQ(::stat(file.c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino);
  EXPECT_EQ(Content(file), "new");
}

// Seen with a FIFO as the working voice: the open waited for a writer for ever. A FIFO, a device
// and a socket are no files to read or replace, and must be found so at once.
TEST(AtomicFile, WhatIsNoRegularFileIsNeitherWaitedOnNorReplaced) {
  TempDir dir;
  const fs::path fifo = dir.path() / "Orvane.orvset";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const fs::path socketPath = dir.path() / "Orvane.ini";
  const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ::listen(listening, 1);
  fs::create_directory(dir.path() / "folder.orvane");

  for (const fs::path& path : {fifo, socketPath, fs::path("/dev/null"), fs::path("/dev/zero"),
                               dir.path() / "folder.orvane"}) {
    SCOPED_TRACE(path.string());
    EXPECT_FALSE(ReadWholeFile(path).has_value());
    EXPECT_FALSE(ReadWholeFile(path, 112).has_value());
    if (path.parent_path() == dir.path()) {
      EXPECT_FALSE(ReplaceFileAtomically(path, "new"));
    }
  }
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_TRUE(fs::is_socket(socketPath));
  EXPECT_EQ(EntriesIn(dir.path()), 3) << "no temporary file is left";
  ::close(listening);
}

TEST(AtomicFile, ReadStopsAtTheLimit) {
  TempDir dir;
  dir.Write("Long.orvane", std::string(200, 'v'));
  const auto content = ReadWholeFile(dir.path() / "Long.orvane", 112);
  ASSERT_TRUE(content && content->exists);
  EXPECT_EQ(content->bytes, std::string(112, 'v'));
  const auto missing = ReadWholeFile(dir.path() / "nowhere" / "Missing.orvane");
  ASSERT_TRUE(missing.has_value());
  EXPECT_FALSE(missing->exists);
}

// Seen with a working voice linked into a synced folder: the link was replaced by a plain file.
TEST(AtomicFile, LinksStayAndTheFilesTheyNameAreWrittenOrCreated) {
  TempDir dir;
  fs::create_directory(dir.path() / "synced");
  dir.Write("synced/Existing.orvane", "old");
  fs::create_symlink("synced/Existing.orvane", dir.path() / "existing-link");
  fs::create_symlink(dir.path() / "synced" / "NotThereYet.orvane", dir.path() / "dangling-link");
  fs::create_symlink("dangling-link", dir.path() / "link-to-link");
  fs::create_symlink("loop-b", dir.path() / "loop-a");
  fs::create_symlink("loop-a", dir.path() / "loop-b");

  EXPECT_TRUE(ReplaceFileAtomically(dir.path() / "existing-link", "new"));
  EXPECT_EQ(Content(dir.path() / "synced" / "Existing.orvane"), "new");
  EXPECT_TRUE(ReplaceFileAtomically(dir.path() / "link-to-link", "created"));
  EXPECT_EQ(Content(dir.path() / "synced" / "NotThereYet.orvane"), "created");
  for (const char* link : {"existing-link", "dangling-link", "link-to-link"}) {
    EXPECT_TRUE(fs::is_symlink(dir.path() / link)) << link;
  }
  EXPECT_FALSE(ReplaceFileAtomically(dir.path() / "loop-a", "never"));
  EXPECT_EQ(EntriesIn(dir.path() / "synced"), 2) << "no temporary file is left";
}

// Seen after kills during the exit save: ".Orvane.ini.tmp-*" files piled up in the settings
// folder. A start removes those older than a minute; nothing else is touched.
TEST(AtomicFile, StaleTemporaryFilesOfTheProgramAreRemovedAndNothingElse) {
  TempDir dir;
  const std::vector<std::string> stale = {".Orvane.ini.tmp-abcd1234", ".Orvane.orvset.tmp-0z9y8x7w",
                                          ".temp.orvset.tmp-00000000", ".Organ.ORVANE.tmp-q1w2e3r4",
                                          ".orvane-write-test"};
  const std::vector<std::string> kept = {
      ".bashrc.tmp-abcd1234",      // another program's
      ".Orvane.ini.tmp-ABCD1234",  // not a suffix the program makes
      ".Orvane.ini.tmp-abc",
      "Orvane.ini.tmp-abcd1234",
      ".orvane.tmp-abcd1234",
      "Orvane.ini",
      "Orvane.orvset",
      "target-of-link"};
  for (const auto& name : stale) dir.Write(name, "x");
  for (const auto& name : kept) dir.Write(name, "x");
  fs::create_directory(dir.path() / ".Orvane.ini.tmp-folder00");  // a folder is never ours
  fs::create_symlink("target-of-link", dir.path() / ".Orvane.ini.tmp-link0000");
  const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(2);
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    fs::last_write_time(entry.path(), old);
  }
  dir.Write(".Orvane.ini.tmp-fresh000", "a replacement under way");

  EXPECT_EQ(RemoveStaleTemporaryFiles(dir.path()), static_cast<int>(stale.size()));
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    left.push_back(entry.path().filename().string());
  }
  std::vector<std::string> expected = kept;
  expected.insert(expected.end(), {".Orvane.ini.tmp-folder00", ".Orvane.ini.tmp-link0000",
                                   ".Orvane.ini.tmp-fresh000"});
  std::sort(left.begin(), left.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(left, expected);
  EXPECT_EQ(RemoveStaleTemporaryFiles(dir.path() / "missing"), 0);
}

}  // namespace
}  // namespace orvane::testing
