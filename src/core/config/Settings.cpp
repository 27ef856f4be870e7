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
  iniFile.WriteInt(kCommonSection, kPressedKeyColor, stored.pressedKeyColor);
  iniFile.WriteInt(kCommonSection, kHardwareKeyboardEnabled, stored.hardwareKeyboardEnabled);
  iniFile.WriteInt(kCommonSection, kOutDeviceIndex, stored.outDeviceIndex);
  iniFile.WriteInt(kCommonSection, kInDeviceIndex, stored.inDeviceIndex);
  iniFile.WriteInt(kCommonSection, kKeyboardType, stored.keyboardType);
  for (std::size_t i = 0; i < stored.windowRect.size(); ++i) {
    iniFile.WriteInt(kPositionSection, kWindowRectKeys[i], stored.windowRect[i]);
  }
}

}  // namespace orvane::settings
