#include "core/voice/VoiceFiles.h"

#include <cstdint>
#include <span>
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
  const auto content = ReadWholeFile(PathFromUtf8(path), kVoiceFileSize);
  // A voice loaded by the player replaces the one the start gave, also the default one.
  const bool loadedByPlayer = path != tempVoicePath_;
  if (!content || !content->exists) {
    toneGen_.voice = Voice::Default();
    if (loadedByPlayer) keepWorkingVoice_ = false;
    return VoiceReadResult::DefaultVoice;
  }
  try {
    bank_.Load(std::span(reinterpret_cast<const std::uint8_t*>(content->bytes.data()),
                         content->bytes.size()));
  } catch (const VoiceFileEndOfFile& endOfFile) {
    messages_.ShowOwnedMessage(endOfFile.what(), texts::kAppTitle, MessageIcon::Stop);
    return VoiceReadResult::TooShort;
  }
  toneGen_.voice = bank_.voice;
  if (loadedByPlayer) keepWorkingVoice_ = false;
  ApplyTitleRule(path);
  return VoiceReadResult::Loaded;
}

VoiceReadResult VoiceFiles::ReadStartingVoice(const std::vector<std::string>& arguments) {
  const bool fromArgument = arguments.size() >= 2;
  const VoiceReadResult result = ReadVoiceFile(fromArgument ? arguments[1] : workingVoicePath_);
  // A file cut short has been reported by the read; the program goes on with the default voice.
  if (result == VoiceReadResult::TooShort) toneGen_.voice = Voice::Default();
  keepWorkingVoice_ = fromArgument && result != VoiceReadResult::Loaded;
  startingVoice_ = toneGen_.voice;
  return result;
}

bool VoiceFiles::SaveWorkingVoice() {
  if (keepWorkingVoice_ && toneGen_.voice == startingVoice_) return false;
  return WriteVoiceFile(workingVoicePath_);
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
