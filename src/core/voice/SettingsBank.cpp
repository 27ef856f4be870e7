#include "core/voice/SettingsBank.h"

#include <algorithm>

namespace orvane {
namespace {

void StoreVoice(const Voice& voice, VoiceArchive& archive) {
  for (int layer = 0; layer < kLayerCount; ++layer) {
    archive << voice.patch[layer] << voice.volume[layer] << voice.transposition[layer]
            << static_cast<std::uint8_t>(voice.layerOn[layer] ? 1 : 0);
  }
}

Voice LoadVoice(VoiceArchive& archive) {
  Voice loaded;
  for (int layer = 0; layer < kLayerCount; ++layer) {
    std::uint8_t on = 0;
    archive >> loaded.patch[layer] >> loaded.volume[layer] >> loaded.transposition[layer] >> on;
    loaded.layerOn[layer] = on != 0;
  }
  return loaded;
}

}  // namespace

void CSettingsBank::Serialize(VoiceArchive& archive) {
  if (archive.IsStoring()) {
    StoreVoice(voice, archive);
  } else {
    voice = LoadVoice(archive);  // assigned only once all 112 bytes were there
  }
}

std::array<std::uint8_t, kVoiceFileSize> CSettingsBank::Store() const {
  VoiceArchive archive;
  StoreVoice(voice, archive);
  std::array<std::uint8_t, kVoiceFileSize> bytes{};
  std::copy_n(archive.Bytes().begin(), kVoiceFileSize, bytes.begin());
  return bytes;
}

void CSettingsBank::Load(std::span<const std::uint8_t> bytes) {
  VoiceArchive archive(bytes);
  Serialize(archive);
}

}  // namespace orvane
