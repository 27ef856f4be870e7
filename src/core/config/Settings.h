#pragma once

#include <array>
#include <string>
#include <string_view>

namespace orvane {

class CIniFile;

// The program's settings in Orvane.ini: the one place that names their sections and keys, and
// the one place that stores them.
namespace settings {

inline constexpr std::string_view kFileName = "Orvane.ini";
inline constexpr std::wstring_view kWideFileName = L"Orvane.ini";
// The voice files beside it: the working voice, and the scratch copy of the voice dialog.
inline constexpr std::string_view kWorkingVoiceFileName = "Orvane.orvset";
inline constexpr std::string_view kScratchVoiceFileName = "temp.orvset";

inline constexpr std::string_view kCommonSection = "COMMON_SETTINGS";
inline constexpr std::string_view kOutDeviceIndex = "MIDIOUTDEVINDEX";
inline constexpr std::string_view kInDeviceIndex = "MIDIINDEVINDEX";
inline constexpr std::string_view kHardwareKeyboardEnabled = "ISHARDWAREMIDIKBDENABLED";
inline constexpr std::string_view kPressedKeyColor = "PRESSEDKEYCOLOR";
inline constexpr std::string_view kKeyboardType = "KEYBOARDTYPE";

inline constexpr std::string_view kPositionSection = "POSITION";
inline constexpr std::array<std::string_view, 4> kWindowRectKeys = {"LEFT", "TOP", "RIGHT",
                                                                    "BOTTOM"};

inline constexpr int kDefaultPressedKeyColor = 12566463;  // RGB(191, 191, 191)

// The text a first start writes. Only the narrow form names the MIDI input.
std::string DefaultFileText(bool withInputLine, std::string_view lineEnd);

// The saved window rectangle: left, top, right, bottom; 0 where none is stored.
std::array<int, 4> ReadWindowRect(const CIniFile& iniFile);

// What the program stores when its window goes, written in this order.
struct StoredSettings {
  int pressedKeyColor = kDefaultPressedKeyColor;
  int hardwareKeyboardEnabled = 0;
  int outDeviceIndex = 0;
  int inDeviceIndex = 0;
  int keyboardType = 0;
  std::array<int, 4> windowRect{};
};
void Store(CIniFile& iniFile, const StoredSettings& stored);

}  // namespace settings
}  // namespace orvane
