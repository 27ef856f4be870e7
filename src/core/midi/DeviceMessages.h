#pragma once

#include <string_view>

// What the program says when a MIDI device fails; all but the last use the caption kErrorCaption.
namespace orvane::device_messages {

constexpr std::string_view kErrorCaption = "Error!";
constexpr std::string_view kNoOutputs =
    "No MIDI output devices! It can mean no installed sound device in this PC. Program will be "
    "closed.";
constexpr std::string_view kOutputOpenFailed =
    "Error in MIDI OUT OPEN function! Program will be closed.";
constexpr std::string_view kDevicesFailed =
    "Error in MIDI IN/OUT devices or functions! Program will be closed.";
constexpr std::string_view kNoInputs =
    "No MIDI input devices! If you use motherboard game port as MIDI port then enable On Board "
    "Midi I/O in Setup BIOS Utility";
constexpr std::string_view kInputOpenFailed = "Error in MIDI IN OPEN function!";
constexpr std::string_view kSynthStopped =
    "Built-in synthesizer stopped and cannot be started again! The first MIDI output device is "
    "used instead.";
constexpr std::string_view kNoWindow = "hOrvaneWnd == NULL in CToneGen::ChangeMidiInDev!";
constexpr std::string_view kNoWindowCaption = "Error in CToneGen::ChangeMidiInDev!";

}  // namespace orvane::device_messages
