#pragma once

#include <string_view>

namespace orvane::texts {

// The maker's web presence: the one place that names the two addresses and the site shown in
// the captions of the maker-page menu item and about-box button.
inline constexpr std::string_view kMakerSite = "www.orvane-music.net";
inline constexpr std::string_view kMakerStartPage = "https://www.orvane-music.net/";
inline constexpr std::string_view kProductPage = "https://www.orvane-music.net/tellak-orvane/";

// The application title: the main window's title until a voice file is read or written under a
// path, and the caption of the message boxes that name none of their own.
inline constexpr std::string_view kAppTitle = "Orvane";
// The program's name: the window's title for the working voice, and what follows a voice's name
// in the title ("Organ - Tellak Orvane").
inline constexpr std::string_view kProductName = "Tellak Orvane";
inline constexpr std::string_view kHelpCaption = "Tellak Orvane Help";
inline constexpr std::string_view kAboutCaption = "About Tellak Orvane";
inline constexpr std::string_view kAboutLine1 =
    "Tellak Orvane 1.0 - multilayer keyboard instrument";
inline constexpr std::string_view kAboutLine2 =
    "Made by Orvane Music Software, free to use and share";
inline constexpr std::string_view kProductButton =
    "Homepage \u2014 new versions and sound files (*.orvane)";
inline constexpr std::string_view kMakerPrefix = "Musician software on ";

inline constexpr std::string_view kSaveVoiceTitle = "Save Tellak Orvane Voice File As";
inline constexpr std::string_view kOpenVoiceTitle = "Open Tellak Orvane Voice File";
inline constexpr std::string_view kVoiceFilter = "Tellak Orvane Voice File (*.orvane)";
inline constexpr std::string_view kVoiceSuffix = "orvane";

// The help box text, four pieces joined.
inline constexpr std::string_view kHelpText =
    "Use <SPACEBAR> to get sustain pedal effect when you play with mouse.\n"
    "Use <SHIFT> keys to get sustain pedal effect when you play with PC keyboard. Use <CAPS LOCK> "
    "to fix sustain pedal effect when you play with PC keyboard.\n"
    "Use <ENTER> or right mouse button to mute all sounds.\n\n"
    "You can find some *.orvane files on homepage of Tellak Orvane.";

}  // namespace orvane::texts
