#pragma once

#include <array>

#include "core/voice/Voice.h"

// Control ids of the voice settings and MIDI device settings dialogs. Each becomes the
// objectName of its widget (in decimal), so tests and tools find a control by its id.
namespace orvane::ids {

// Buttons every dialog shares.
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;

// Voice settings dialog, one entry per layer (channel 1 first).
inline constexpr std::array<int, kLayerCount> kLayerOnCheck = {
    1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1014, 1015};
inline constexpr std::array<int, kLayerCount> kPatchList = {
    1019, 1020, 1021, 1022, 1023, 1024, 1025, 1026, 1027, 1028, 1029, 1030, 1031, 1032, 1033, 1034};
inline constexpr std::array<int, kLayerCount> kTranspositionEdit = {
    1035, 1037, 1038, 1039, 1040, 1041, 1042, 1043, 1044, 1045, 1049, 1050, 1051, 1052, 1053, 1054};
inline constexpr std::array<int, kLayerCount> kVolumeEdit = {
    1036, 1046, 1047, 1048, 1056, 1057, 1058, 1059, 1060, 1061, 1062, 1063, 1064, 1065, 1066, 1067};
inline constexpr int kListenVoice = 1016;
inline constexpr int kMute = 1055;
// The drum channel (channel 10) lists bare program numbers instead of instrument names.
inline constexpr int kDrumLayer = 9;

// MIDI device settings dialog.
inline constexpr int kUseHardwareKeyboard = 1068;
inline constexpr int kOutputDeviceList = 1071;
inline constexpr int kListenDevice = 1072;
inline constexpr int kInputDeviceList = 1073;

}  // namespace orvane::ids
