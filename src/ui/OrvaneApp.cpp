#include "ui/OrvaneApp.h"

#include "core/UserMessages.h"
#include "core/texts/Texts.h"
#include "ui/AboutDlg.h"
#include "ui/CommandIds.h"
#include "ui/DesktopServices.h"
#include "ui/SessionEnd.h"

namespace orvane {

COrvaneApp::COrvaneApp(const AppServices& services, std::vector<std::string> arguments)
    : services_(services), arguments_(std::move(arguments)) {}

COrvaneApp::~COrvaneApp() {
  delete frame_.data();  // a frame still open is closed without saving: only a close saves
}

bool COrvaneApp::InitInstance() {
  frame_ = new CMainFrame(services_, [this](int command) { return OnCommand(command); });
  frame_->Create(arguments_);
  frame_->show();
  frame_->view().setFocus(Qt::ActiveWindowFocusReason);
  windowShown_ = true;
  if (sessionEnd_ != nullptr) sessionEnd_->MainWindowShown();
  return true;
}

void COrvaneApp::CloseOnSessionEnd() {
  sessionEnd_ = std::make_unique<SessionEnd>([this] { CloseMainWindow(); });
}

void COrvaneApp::CloseMainWindow() {
  // Before the window is shown only a start-up message box can be waiting (a fatal device
  // error, no MIDI input, a voice file cut short), and the settings may be read only in part.
  // Nothing has been played or changed yet: end at once, saving nothing, as OK on a fatal box.
  if (!windowShown_) services_.messages.EndProcess(kStoppedBeforeShownStatus);
  if (frame_ != nullptr) frame_->close();
}

bool COrvaneApp::OnCommand(int command) {
  switch (command) {
    case cmd::kHelp:
      OnHelp();
      return true;
    case cmd::kAbout:
      OnAbout();
      return true;
    case cmd::kProductPage:
      services_.desktop.OpenUrl(std::string(texts::kProductPage));
      return true;
    case cmd::kMakerPage:
      services_.desktop.OpenUrl(std::string(texts::kMakerStartPage));
      return true;
    default:
      return false;  // the edit and pane commands have no handler: their keys do nothing
  }
}

void COrvaneApp::OnHelp() {
  if (frame_ != nullptr) frame_->view().toneGen().Reset();
  services_.messages.ShowMessage(texts::kHelpText, texts::kHelpCaption, MessageIcon::None);
}

void COrvaneApp::OnAbout() {
  CAboutDlg about(services_.desktop, frame_);
  services_.desktop.RunModal(about);
}

}  // namespace orvane
