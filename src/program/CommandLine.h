#pragma once

#include <optional>
#include <ostream>
#include <string_view>

namespace orvane {

// The two questions a user may ask the program from a shell. They are answered before anything
// else starts, so they need no display and no sound system.
enum class TextRequest { kHelp, kVersion };

// `--help` or `--version` as the only argument. Any other first argument keeps its meaning: the
// voice file to start with (a file may well be called "--help" when more arguments follow).
std::optional<TextRequest> TextRequestOf(int argc, const char* const* argv);

std::string_view HelpText();
std::string_view VersionText();

// Writes the answer to `out` and gives the exit status: 0, or 1 with a note on `err` when the
// text could not be written (a closed pipe, a full disk).
int AnswerTextRequest(TextRequest request, std::ostream& out, std::ostream& err);

// For main(), before the application object: the exit status when the command line only asks for
// a text (answered on standard output), nothing when the program is to run.
std::optional<int> AnswerTextRequestOnly(int argc, const char* const* argv);

}  // namespace orvane
