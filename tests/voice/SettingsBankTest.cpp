#include "voice/SettingsBank.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace orvane {
namespace {

Voice VoiceWithLayerTwo() {
  Voice voice = Voice::Default();
  voice.layerOn[2] = true;
  voice.patch[2] = 40;
  voice.volume[2] = 90;
  voice.transposition[2] = -12;
  return voice;
}

TEST(SettingsBank, StoresSixteenSevenByteRecordsLittleEndian) {
  CSettingsBank bank;
  bank.voice = VoiceWithLayerTwo();
  const auto bytes = bank.Store();
  const std::vector<std::uint8_t> layerTwo(bytes.begin() + 14, bytes.begin() + 21);
  EXPECT_EQ(layerTwo, (std::vector<std::uint8_t>{0x28, 0x5A, 0xF4, 0xFF, 0xFF, 0xFF, 0x01}));
  const std::vector<std::uint8_t> layerZero(bytes.begin(), bytes.begin() + 7);
  EXPECT_EQ(layerZero, (std::vector<std::uint8_t>{0, 100, 0, 0, 0, 0, 1}));
  const std::vector<std::uint8_t> layerFifteen(bytes.begin() + 105, bytes.end());
  EXPECT_EQ(layerFifteen, (std::vector<std::uint8_t>{0, 100, 0, 0, 0, 0, 0}));

  // Serialize writes the same bytes through an archive.
  VoiceArchive archive;
  bank.Serialize(archive);
  EXPECT_EQ(archive.Bytes(), std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

TEST(SettingsBank, LoadTakesValuesAsStored) {
  CSettingsBank bank;
  std::vector<std::uint8_t> bytes(kVoiceFileSize, 0);
  const std::uint8_t record[7] = {0xFF, 0x80, 0x00, 0x00, 0x00, 0x80, 0x02};  // INT32_MIN, on
  std::copy(std::begin(record), std::end(record), bytes.begin() + 7 * 15);
  bank.Load(bytes);
  EXPECT_EQ(bank.voice.patch[15], 255);
  EXPECT_EQ(bank.voice.volume[15], 128);
  EXPECT_EQ(bank.voice.transposition[15], INT32_MIN);
  EXPECT_TRUE(bank.voice.layerOn[15]);  // any non-zero byte is on
  EXPECT_FALSE(bank.voice.layerOn[0]);
}

TEST(SettingsBank, RoundTripKeepsEveryField) {
  CSettingsBank bank;
  for (int i = 0; i < kLayerCount; ++i) {
    bank.voice.patch[i] = static_cast<std::uint8_t>(i * 7);
    bank.voice.volume[i] = static_cast<std::uint8_t>(127 - i);
    bank.voice.transposition[i] = (i - 8) * 100000;
    bank.voice.layerOn[i] = i % 3 == 0;
  }
  const Voice written = bank.voice;
  const auto bytes = bank.Store();
  CSettingsBank other;
  other.Load(bytes);
  EXPECT_EQ(other.voice, written);
}

TEST(SettingsBank, ShortInputThrowsAndKeepsTheVoice) {
  CSettingsBank bank;
  bank.voice = VoiceWithLayerTwo();
  std::vector<std::uint8_t> bytes(kVoiceFileSize - 1, 0x11);
  EXPECT_THROW(bank.Load(bytes), VoiceFileEndOfFile);
  EXPECT_THROW(bank.Load({}), VoiceFileEndOfFile);
  EXPECT_EQ(bank.voice, VoiceWithLayerTwo());

  bytes.resize(200, 0x22);  // longer than a voice: only the first 112 bytes count
  bank.Load(bytes);
  EXPECT_EQ(bank.voice.patch[15], 0x11);
  EXPECT_EQ(bank.voice.layerOn[15], true);
}

}  // namespace
}  // namespace orvane
