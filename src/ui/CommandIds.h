#pragma once

namespace orvane {

// Command numbers of the menu and the accelerator table. Tests fire commands by these ids.
namespace cmd {
inline constexpr int kHelp = 32771;
inline constexpr int kEditVoice = 32772;
inline constexpr int kLoadVoice = 32773;
inline constexpr int kSaveVoice = 32774;
inline constexpr int kMakerPage = 32780;
inline constexpr int kProductPage = 32781;
inline constexpr int kMidiDeviceSettings = 32782;
inline constexpr int kOctaveUp = 32784;
inline constexpr int kOctaveDown = 32785;
inline constexpr int kOctaveStandard = 32786;
inline constexpr int kSemitoneUp = 32791;
inline constexpr int kSemitoneDown = 32792;
inline constexpr int kSemitoneStandard = 32794;
inline constexpr int kPianoKeys = 32804;
inline constexpr int kAccordionKeys = 32805;
inline constexpr int kPressedKeyColor = 32806;
inline constexpr int kEditCopy = 57634;
inline constexpr int kEditCut = 57635;
inline constexpr int kEditPaste = 57637;
inline constexpr int kEditUndo = 57643;
inline constexpr int kAbout = 57664;
inline constexpr int kExit = 57665;
inline constexpr int kNextPane = 57680;
inline constexpr int kPrevPane = 57681;
}  // namespace cmd

// Ids of the about box's web buttons; they become the buttons' objectNames.
inline constexpr int kIdcProductPageButton = 1070;
inline constexpr int kIdcMakerPageButton = 1069;

}  // namespace orvane
