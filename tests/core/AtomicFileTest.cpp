#include "core/config/AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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

}  // namespace
}  // namespace orvane::testing
