#include "core/voice/SettingsBank.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

namespace orvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(SettingsBank, StoresSixteenSevenByteRecordsLittleEndian) {
  CSettingsBank bank;
  bank.voice.layerOn[2] = true;
  bank.voice.patch[2] = 40;
  bank.voice.volume[2] = 90;
  bank.voice.transposition[2] = -12;
  const auto stored = bank.Store();
  const Bytes bytes(stored.begin(), stored.end());
  EXPECT_EQ(Bytes(bytes.begin() + 14, bytes.begin() + 21),
            (Bytes{0x28, 0x5A, 0xF4, 0xFF, 0xFF, 0xFF, 0x01}));
  EXPECT_EQ(Bytes(bytes.begin() + 105, bytes.end()), (Bytes{0, 0, 0, 0, 0, 0, 0}));
  VoiceArchive archive;  // Serialize writes the same bytes
  bank.Serialize(archive);
  EXPECT_EQ(archive.Bytes(), bytes);
}

TEST(SettingsBank, LoadsTheFirst112BytesAsStoredOrNothingAtAll) {
  CSettingsBank bank;
  bank.voice = Voice::Default();
  Bytes bytes(kVoiceFileSize - 1, 0);
  EXPECT_THROW(bank.Load(bytes), VoiceFileEndOfFile);
  EXPECT_THROW(bank.Load({}), VoiceFileEndOfFile);
  EXPECT_EQ(bank.voice, Voice::Default());

  const std::uint8_t record[7] = {0xFF, 0x80, 0x00, 0x00, 0x00, 0x80, 0x02};
  std::copy(std::begin(record), std::end(record) - 1, bytes.begin() + 7 * 15);
  bytes.resize(200, 0x02);  // the on/off byte of layer 15, then 88 ignored bytes
  bank.Load(bytes);
  EXPECT_EQ(bank.voice.patch[15], 255);  // bytes above 127 are kept as stored
  EXPECT_EQ(bank.voice.volume[15], 128);
  EXPECT_EQ(bank.voice.transposition[15], INT32_MIN);
  EXPECT_TRUE(bank.voice.layerOn[15]);  // any non-zero byte is on
  EXPECT_FALSE(bank.voice.layerOn[0]);
}

}  // namespace
}  // namespace orvane
