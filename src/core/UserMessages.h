#pragma once

#include <string_view>

namespace orvane {

enum class MessageIcon { None, Warning, Stop, Information };

// The one way the program shows a message box or ends itself, so tests can record both.
class UserMessages {
 public:
  virtual ~UserMessages() = default;

  // Message box with one OK button and no owner window (help, device errors); returns once it is
  // closed. The other windows stay usable meanwhile, unless a modal dialog is open: that dialog
  // would block a box beside it, so the box is then modal over the dialog.
  virtual void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) = 0;

  // Message box owned by the window in front (the open dialog, else the main window) and modal
  // over it, as the framework's own messages are (field validation, a voice file cut short).
  // Without a window on the screen it is shown as ShowMessage shows it, which is also what a
  // program without windows does.
  virtual void ShowOwnedMessage(std::string_view text, std::string_view caption, MessageIcon icon) {
    ShowMessage(text, caption, icon);
  }

  // Ends the process at once with the status, saving nothing. Never returns normally: the
  // program's implementation exits, the test recorder throws.
  virtual void EndProcess(int status) = 0;
};

}  // namespace orvane
