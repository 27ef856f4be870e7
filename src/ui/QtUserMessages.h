#pragma once

#include "core/UserMessages.h"

namespace orvane {

// Message boxes with QMessageBox (the caller waits until the box is closed) and the immediate
// exit.
class QtUserMessages : public UserMessages {
 public:
  void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
  void ShowOwnedMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
  // Flushes the standard streams and ends the process without running destructors, so nothing
  // is saved on the way out.
  [[noreturn]] void EndProcess(int status) override;
};

}  // namespace orvane
