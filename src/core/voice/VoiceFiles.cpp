#include "core/voice/VoiceFiles.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <utility>

#include "core/UserMessages.h"
#include "core/config/AtomicFile.h"
#include "core/midi/ToneGen.h"
#include "core/texts/Texts.h"

namespace orvane {
namespace {

constexpr std::string_view kVoiceExtension = ".orvane";

// The part after the last directory separator. Windows paths separate with either slash; on
// other systems a backslash is an ordinary character of a file name.
std::string FileNameOf(const std::string& path) {
#ifdef _WIN32
  const auto separator = path.find_last_of("/\\");
#else
  const auto separator = path.find_last_of('/');
#endif
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

// Every ".orvane", left to right, case-sensitive: "a.orvane.orvane" becomes "a".
std::string WithoutVoiceExtension(std::string name) {
  std::string result;
  std::size_t from = 0;
  for (auto found = name.find(kVoiceExtension); found != std::string::npos;
       found = name.find(kVoiceExtension, from)) {
    result.append(name, from, found - from);
    from = found + kVoiceExtension.size();
  }
  result.append(name, from, std::string::npos);
  return result;
}

}  // namespace

VoiceFiles::VoiceFiles(std::string workingVoicePath, std::string tempVoicePath, CToneGen& toneGen,
                       UserMessages& messages, TitleSetter setTitle)
    : workingVoicePath_(std::move(workingVoicePath)),
      tempVoicePath_(std::move(tempVoicePath)),
      toneGen_(toneGen),
      messages_(messages),
      setTitle_(std::move(setTitle)) {}

bool VoiceFiles::WriteVoiceFile(const std::string& path) {
  bank_.voice = toneGen_.voice;
  const auto bytes = bank_.Store();
  if (!ReplaceFileAtomically(
          PathFromUtf8(path),
          std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))) {
    return false;
  }
  ApplyTitleRule(path);
  return true;
}

VoiceReadResult VoiceFiles::ReadVoiceFile(const std::string& path) {
  const std::filesystem::path file = PathFromUtf8(path);
  std::error_code error;
  std::ifstream in;
  // A directory opens as a stream on some systems; it is no voice file either.
  if (!std::filesystem::is_directory(file, error)) in.open(file, std::ios::binary);
  if (!in.is_open()) {
    toneGen_.voice = Voice::Default();
    return VoiceReadResult::DefaultVoice;
  }

  std::array<char, kVoiceFileSize> buffer{};
  in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
  const auto count = static_cast<std::size_t>(in.gcount());
  try {
    bank_.Load(std::span(reinterpret_cast<const std::uint8_t*>(buffer.data()), count));
  } catch (const VoiceFileEndOfFile& endOfFile) {
    messages_.ShowOwnedMessage(endOfFile.what(), texts::kAppTitle, MessageIcon::Stop);
    return VoiceReadResult::TooShort;
  }
  toneGen_.voice = bank_.voice;
  ApplyTitleRule(path);
  return VoiceReadResult::Loaded;
}

void VoiceFiles::ApplyTitleRule(const std::string& path) {
  if (path == tempVoicePath_) return;
  std::string title(texts::kProductName);
  if (path != workingVoicePath_) {
    voiceName_ = WithoutVoiceExtension(FileNameOf(path));
    title = voiceName_ + " - " + std::string(texts::kProductName);
  }
  if (setTitle_) setTitle_(title);
}

}  // namespace orvane
