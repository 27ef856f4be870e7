#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QPointer>

#include "ui/AppServices.h"
#include "ui/MainFrame.h"

namespace orvane {

class SessionEnd;

// The application object: starts the main window and carries out the help, about and web-page
// commands. The QApplication itself belongs to the caller.
class COrvaneApp {
 public:
  COrvaneApp(const AppServices& services, std::vector<std::string> arguments);
  ~COrvaneApp();
  COrvaneApp(const COrvaneApp&) = delete;
  COrvaneApp& operator=(const COrvaneApp&) = delete;

  // Creates the frame (which builds the view and its tone generator), loads it and shows it.
  bool InitInstance();
  // Makes the end of the desktop session and stop signals close the main window normally. One
  // that comes while the start-up still waits on a message box ends the process with status 1.
  void CloseOnSessionEnd();
  // The application's own commands; false for any other.
  bool OnCommand(int command);

  CMainFrame* mainFrame() const { return frame_; }

 private:
  void OnHelp();
  void OnAbout();
  void CloseMainWindow();

  AppServices services_;
  std::vector<std::string> arguments_;
  QPointer<CMainFrame> frame_;
  std::unique_ptr<SessionEnd> sessionEnd_;
  bool windowShown_ = false;

  static constexpr int kStoppedBeforeShownStatus = 1;
};

}  // namespace orvane
