#pragma once

namespace orvane {

class CIniFile;
class DesktopServices;
class MidiLayer;
class UserMessages;

// What the program reaches the machine through. The program passes the real ones; tests pass
// recorders, scripted dialogs and a settings directory of their own.
struct AppServices {
  MidiLayer& midi;
  UserMessages& messages;
  DesktopServices& desktop;
  CIniFile& iniFile;
};

}  // namespace orvane
