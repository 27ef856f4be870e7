#pragma once

#include <string_view>

namespace orvane {

enum class MessageIcon { None, Warning, Stop, Information };

// The one way the program shows a message box or ends itself, so tests can record both.
class UserMessages {
 public:
  virtual ~UserMessages() = default;

  // Modal message box with one OK button and no owner window; returns once it is closed.
  virtual void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) = 0;

  // Ends the process at once with the status, saving nothing. Never returns normally: the
  // program's implementation exits, the test recorder throws.
  virtual void EndProcess(int status) = 0;
};

}  // namespace orvane
