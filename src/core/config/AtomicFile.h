#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

// What reading a whole file found.
struct FileContent {
  bool exists = false;  // false: there is no file at the path
  std::string bytes;    // the content when it exists and could be read
};

// Reads the file byte for byte, at most `limit` bytes from its start; none when it exists (or
// may exist) but cannot be read. Only a regular file is read: anything else (a FIFO, a device, a
// socket, a directory) counts as a file that cannot be read, and is found so without waiting on
// it. A symbolic link is followed.
std::optional<FileContent> ReadWholeFile(
    const std::filesystem::path& path, std::size_t limit = std::numeric_limits<std::size_t>::max());

// Replaces (or creates) the file with `content` so that readers see either the old or the new
// file, never a part: the content goes to a temporary file in the same directory, is flushed to
// the disk, and is renamed over the target. An existing file keeps its permissions; a file that
// cannot be opened for writing, or is no regular file, is left alone. A symbolic link stays: the
// file it points to is replaced, or created where it does not exist yet. Where the directory
// takes no new file, or refuses the rename, an existing file is truncated and written in place
// instead, flushed to the disk. False when nothing could be written (a new file in such a
// directory, a full disk), with the file unchanged.
bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view content);

// Whether `name` is one of the temporary files that ReplaceFileAtomically makes in the settings
// folder for the program's own files ("Orvane.ini", "Orvane.orvset", "temp.orvset", voice files
// "*.orvane"), or the probe that tests whether a folder takes new files.
bool IsOwnTemporaryFileName(std::string_view name);
// Removes from `directory` the regular files that IsOwnTemporaryFileName recognises and that
// were last written more than `age` ago: what a replacement cut short by the end of the process
// left. Anything else stays. Returns how many were removed.
int RemoveStaleTemporaryFiles(const std::filesystem::path& directory,
                              std::chrono::seconds age = std::chrono::minutes(1));

// The name of the file that probes whether a folder takes new files.
inline constexpr std::string_view kWriteProbeName = ".orvane-write-test";

// Converts a path held as UTF-8 text (the program's narrow strings) to a filesystem path.
std::filesystem::path PathFromUtf8(const std::string& text);

}  // namespace orvane
