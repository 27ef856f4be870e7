#include "program/CommandLine.h"

#include <iostream>
#include <string>

#include "core/texts/Texts.h"

#ifndef ORVANE_VERSION
#error "ORVANE_VERSION names the program's version (set by the build)"
#endif

namespace orvane {

namespace {

constexpr std::string_view kHelpText =
    "Usage: orvane [VOICE-FILE]\n"
    "       orvane --help | --version\n"
    "\n"
    "Tellak Orvane, a keyboard instrument: the computer keyboard, mouse clicks on\n"
    "the drawn keyboard and a hardware MIDI keyboard play MIDI notes on up to 16\n"
    "layered channels, through the built-in General MIDI synthesizer or any MIDI\n"
    "port of the system.\n"
    "\n"
    "  VOICE-FILE  a voice file (*.orvane) to start with: it plays and names the\n"
    "              window, and is written only when you save to it; further\n"
    "              arguments are ignored\n"
    "  --help      show this text and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Keys: the letter and digit rows play; Shift, Caps Lock and the space bar are\n"
    "sustain pedals; Enter silences; Page Up/Down, Home, Insert, Delete and End\n"
    "transpose; F1 to F5: help, save, load and edit voice, MIDI devices.\n"
    "\n"
    "Files: Orvane.ini (the settings) and Orvane.orvset (the working voice) are\n"
    "kept beside the program when it runs from a writable folder of its own,\n"
    "otherwise in $XDG_CONFIG_HOME/orvane (~/.config/orvane).\n"
    "\n"
    "Environment:\n"
    "  ORVANE_SETTINGS_DIR   directory for the settings and the working voice\n"
    "  ORVANE_SOUNDFONT      SoundFont to try first for the built-in synthesizer\n"
    "  ORVANE_AUDIO_DRIVER   the only audio system to use: pipewire, pulseaudio,\n"
    "                        jack or alsa\n"
    "  ORVANE_PIPEWIRE_LATENCY\n"
    "                        frames (or frames/rate) the PipeWire stream asks for,\n"
    "                        128/48000 unless set\n"
    "  JACK_DEFAULT_SERVER   the JACK server for audio and MIDI ports\n"
    "\n"
    "Exit status: 0 after a normal end; 1 when no MIDI output can sound.\n";

constexpr std::string_view kVersionText = "Tellak Orvane " ORVANE_VERSION "\n";

}  // namespace

std::optional<TextRequest> TextRequestOf(int argc, const char* const* argv) {
  if (argc != 2 || argv == nullptr || argv[1] == nullptr) return std::nullopt;
  const std::string_view argument = argv[1];
  if (argument == "--help") return TextRequest::kHelp;
  if (argument == "--version") return TextRequest::kVersion;
  return std::nullopt;
}

std::string_view HelpText() {
  static const std::string text =
      std::string(kHelpText) + "Homepage: " + std::string(texts::kProductPage) + "\n";
  return text;
}

std::string_view VersionText() {
  return kVersionText;
}

int AnswerTextRequest(TextRequest request, std::ostream& out, std::ostream& err) {
  const std::string_view text = request == TextRequest::kHelp ? HelpText() : VersionText();
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.flush();
  if (out) return 0;
  err << "orvane: cannot write to standard output\n";
  return 1;
}

std::optional<int> AnswerTextRequestOnly(int argc, const char* const* argv) {
  const std::optional<TextRequest> request = TextRequestOf(argc, argv);
  if (!request) return std::nullopt;
  return AnswerTextRequest(*request, std::cout, std::cerr);
}

}  // namespace orvane
