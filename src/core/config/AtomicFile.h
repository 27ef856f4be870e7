#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

// What reading a whole file found.
struct FileContent {
  bool exists = false;  // false: there is no file at the path
  std::string bytes;    // the content when it exists and could be read
};

// Reads the file byte for byte; none when it exists (or may exist) but cannot be read.
std::optional<FileContent> ReadWholeFile(const std::filesystem::path& path);

// Replaces (or creates) the file with `content` so that readers see either the old or the new
// file, never a part: the content goes to a temporary file in the same directory, is flushed to
// the disk, and is renamed over the target. An existing file keeps its permissions; a file that
// cannot be opened for writing is left alone. Where the directory takes no new file, or refuses
// the rename, an existing file is truncated and written in place instead, flushed to the disk.
// False when nothing could be written (a new file in such a directory, a full disk), with the
// file unchanged.
bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view content);

// Converts a path held as UTF-8 text (the program's narrow strings) to a filesystem path.
std::filesystem::path PathFromUtf8(const std::string& text);

}  // namespace orvane
