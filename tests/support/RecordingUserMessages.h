#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/UserMessages.h"

namespace orvane::testing {

// Thrown by RecordingUserMessages::EndProcess so a test sees where the program would have ended.
struct ProcessEnded {
  int status;
};

class RecordingUserMessages : public UserMessages {
 public:
  struct Shown {
    std::string text;
    std::string caption;
    MessageIcon icon;
    bool owned = false;  // shown with ShowOwnedMessage
    bool operator==(const Shown&) const = default;
  };

  std::vector<Shown> shown;
  std::optional<int> endStatus;

  void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override {
    shown.push_back({std::string(text), std::string(caption), icon});
  }
  void ShowOwnedMessage(std::string_view text, std::string_view caption,
                        MessageIcon icon) override {
    shown.push_back({std::string(text), std::string(caption), icon, true});
  }
  void EndProcess(int status) override {
    endStatus = status;
    throw ProcessEnded{status};
  }
};

}  // namespace orvane::testing
