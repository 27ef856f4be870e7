#include "midi_system/ProgramFiles.h"

#include <filesystem>
#include <system_error>

namespace orvane {

std::vector<std::string> ProgramFileCandidates(std::string_view fileName) {
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  const std::filesystem::path folder = executable.parent_path();
  return {(folder / fileName).string(),
          (folder / ORVANE_PROGRAM_FILES_FROM_BINDIR / fileName).lexically_normal().string()};
}

}  // namespace orvane
