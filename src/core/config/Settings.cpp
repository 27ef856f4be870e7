#include "core/config/Settings.h"

#include <cstddef>
#include <string>

#include "core/config/IniFile.h"

namespace orvane::settings {

std::string DefaultFileText(bool withInputLine, std::string_view lineEnd) {
  std::string text;
  const auto section = [&](std::string_view name) {
    text.append("[").append(name).append("]").append(lineEnd);
  };
  const auto zero = [&](std::string_view key) { text.append(key).append("=0").append(lineEnd); };
  section(kCommonSection);
  zero(kOutDeviceIndex);
  if (withInputLine) zero(kInDeviceIndex);
  zero(kHardwareKeyboardEnabled);
  section(kPositionSection);
  for (std::string_view key : kWindowRectKeys) zero(key);
  return text;
}

std::array<int, 4> ReadWindowRect(const CIniFile& iniFile) {
  std::array<int, 4> rect{};
  for (std::size_t i = 0; i < rect.size(); ++i) {
    rect[i] = iniFile.ReadInt(kPositionSection, kWindowRectKeys[i], 0);
  }
  return rect;
}

void Store(CIniFile& iniFile, const StoredSettings& stored) {
  iniFile.PrepareFile(kWideFileName);
  // One replacement of the file for all nine keys: a process killed meanwhile leaves the old
  // settings or the new ones, never a mix.
  const IniEntry entries[] = {
      {kCommonSection, kPressedKeyColor, stored.pressedKeyColor},
      {kCommonSection, kHardwareKeyboardEnabled, stored.hardwareKeyboardEnabled},
      {kCommonSection, kOutDeviceIndex, stored.outDeviceIndex},
      {kCommonSection, kInDeviceIndex, stored.inDeviceIndex},
      {kCommonSection, kKeyboardType, stored.keyboardType},
      {kPositionSection, kWindowRectKeys[0], stored.windowRect[0]},
      {kPositionSection, kWindowRectKeys[1], stored.windowRect[1]},
      {kPositionSection, kWindowRectKeys[2], stored.windowRect[2]},
      {kPositionSection, kWindowRectKeys[3], stored.windowRect[3]},
  };
  iniFile.WriteInts(entries);
}

}  // namespace orvane::settings
