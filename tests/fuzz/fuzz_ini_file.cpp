// Arbitrary settings file content: every program key must read without fault, a written value
// must read back, no other key may change, every line but the written one must survive, and the
// file keeps its encoding (UTF-16 with a byte order mark stays UTF-16, in its byte order).
//
// Input: one byte choosing the key (low bits) and the spelling of the names (high bit), four bytes
// of value (little endian), then the file's content.

#include <unistd.h>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "core/config/IniFile.h"
#include "core/config/TextEncoding.h"

namespace fs = std::filesystem;

namespace {

struct Key {
  const char* section;
  const char* name;
};

constexpr std::array<Key, 9> kKeys = {{{"COMMON_SETTINGS", "MIDIOUTDEVINDEX"},
                                       {"COMMON_SETTINGS", "MIDIINDEVINDEX"},
                                       {"COMMON_SETTINGS", "ISHARDWAREMIDIKBDENABLED"},
                                       {"COMMON_SETTINGS", "KEYBOARDTYPE"},
                                       {"COMMON_SETTINGS", "PRESSEDKEYCOLOR"},
                                       {"POSITION", "LEFT"},
                                       {"POSITION", "TOP"},
                                       {"POSITION", "RIGHT"},
                                       {"POSITION", "BOTTOM"}}};

// A default no file content could produce, so that "missing" is told apart from any value.
constexpr int kMissing = -987654321;

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "property broken: %s\n", what);
  std::abort();
}

// The scratch directory of this process, removed when the fuzzer exits.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    // tmpfs where there is one: every write is flushed to the disk, which is slow elsewhere.
    std::error_code ec;
    const fs::path base =
        fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    path_ = base / ("orvane-fuzz-ini-" + std::to_string(::getpid()));
    fs::create_directories(path_);
  }
  ~ScratchDirectory() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

const fs::path& WorkDirectory() {
  static const ScratchDirectory directory;
  return directory.Path();
}

std::string Lowered(const char* name) {
  std::string text(name);
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return text;
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::array<int, kKeys.size()> ReadAll(const orvane::CIniFile& ini) {
  std::array<int, kKeys.size()> values{};
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    values[i] = ini.ReadInt(kKeys[i].section, kKeys[i].name, kMissing);
  }
  return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const std::size_t which = data[0] % kKeys.size();
  const bool lowered = (data[0] & 0x80) != 0;
  const auto value = static_cast<int>(
      static_cast<std::uint32_t>(data[1]) | static_cast<std::uint32_t>(data[2]) << 8 |
      static_cast<std::uint32_t>(data[3]) << 16 | static_cast<std::uint32_t>(data[4]) << 24);
  const std::string before(reinterpret_cast<const char*>(data) + 5, size - 5);

  const fs::path path = WorkDirectory() / "Orvane.ini";
  std::ofstream(path, std::ios::binary | std::ios::trunc) << before;

  orvane::CIniFile ini(WorkDirectory().string());
  ini.PrepareFile(std::string_view("Orvane.ini"));
  Check(ReadBytes(path) == before, "PrepareFile left an existing file alone");
  const auto valuesBefore = ReadAll(ini);

  const std::string section = lowered ? Lowered(kKeys[which].section) : kKeys[which].section;
  const std::string key = lowered ? Lowered(kKeys[which].name) : kKeys[which].name;
  Check(ini.WriteInt(section, key, value), "write succeeded");

  const auto valuesAfter = ReadAll(ini);
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    Check(valuesAfter[i] == (i == which ? value : valuesBefore[i]),
          "written key reads back, the others keep their values");
  }

  // Compared as text: a UTF-16 file is decoded first, losing nothing, and stays UTF-16.
  const orvane::DecodedText beforeText = orvane::DecodeText(before);
  const orvane::DecodedText afterText = orvane::DecodeText(ReadBytes(path));
  Check(orvane::EncodeText(beforeText) == before, "decoding loses nothing");
  Check(afterText.form == beforeText.form && afterText.oddByte == beforeText.oddByte,
        "the file keeps its encoding");

  // Outside one changed stretch the text is the same; the stretch removed lies within one
  // line, and what came in holds at most a line break, a section header and the key line.
  const std::string& earlier = beforeText.text;
  const std::string& after = afterText.text;
  std::size_t prefix = 0;
  while (prefix < earlier.size() && prefix < after.size() && earlier[prefix] == after[prefix]) {
    ++prefix;
  }
  std::size_t suffix = 0;
  while (suffix < earlier.size() - prefix && suffix < after.size() - prefix &&
         earlier[earlier.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
    ++suffix;
  }
  const std::string_view removed =
      std::string_view(earlier).substr(prefix, earlier.size() - prefix - suffix);
  const std::string_view added =
      std::string_view(after).substr(prefix, after.size() - prefix - suffix);
  Check(removed.find('\n') == std::string_view::npos, "at most one line changed");
  std::size_t breaks = 0;
  for (char c : added) breaks += c == '\n' ? 1 : 0;
  Check(breaks <= 3, "at most a header and a key line added");
  if (!removed.empty()) {
    // A replaced value: the changed line is the key's, ending in its new value.
    const std::size_t lineStart = prefix == 0 ? 0 : after.rfind('\n', prefix - 1) + 1;
    std::string line = after.substr(lineStart, after.find('\n', prefix) - lineStart);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string tail = "=" + std::to_string(value);
    Check(line.size() >= tail.size() && line.ends_with(tail), "replaced line holds the value");
  }
  return 0;
}
