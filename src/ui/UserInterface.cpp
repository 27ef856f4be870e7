#include "ui/UserInterface.h"

#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <QApplication>
#include <QFontMetrics>
#include <QIcon>

#include "core/config/AtomicFile.h"
#include "core/config/IniFile.h"
#include "core/midi/DeviceMessages.h"
#include "core/texts/Texts.h"
#include "midi_system/SystemMidiLayer.h"
#include "ui/DesktopServices.h"
#include "ui/OrvaneApp.h"
#include "ui/QtMidiInputBridge.h"
#include "ui/QtText.h"
#include "ui/QtUserMessages.h"

namespace {

// Fontconfig reads its whole configuration (some 80 XML files) the first time a font is needed,
// which is when the window first shows. Read beside the start of Qt, it is ready by then; Qt's
// own call then finds it loaded. Fontconfig is thread-safe, and this thread touches nothing else.
class FontConfigWarmUp {
 public:
  FontConfigWarmUp() : thread_([] { FcInit(); }) {}
  ~FontConfigWarmUp() { Join(); }
  FontConfigWarmUp(const FontConfigWarmUp&) = delete;
  FontConfigWarmUp& operator=(const FontConfigWarmUp&) = delete;
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::thread thread_;
};

}  // namespace

int orvane::RunUserInterface(int argc, char* argv[], SystemMidiStartup midiStartup) {
  FontConfigWarmUp fontConfig;
  // The menu bar stays in the window on every desktop. Asking for a global menu bar instead
  // connects to the session bus (or tries to start one) while the window is built.
  QApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
  QApplication application(argc, argv);
  fontConfig.Join();
  // The first paint would build Qt's font database and the application font's engine; built
  // now, they are ready while the MIDI threads may still be at work.
  QFontMetrics(QApplication::font()).height();
  QApplication::setApplicationName(orvane::ToQString(orvane::texts::kProductName));
  QApplication::setDesktopFileName("net.orvane_music.TellakOrvane");
  QApplication::setWindowIcon(QIcon(":/orvane/orvane.png"));

  std::vector<std::string> arguments;
  for (const QString& argument : QApplication::arguments()) {
    arguments.push_back(argument.toStdString());
  }

  // ORVANE_SETTINGS_DIR names the directory of the settings and voice files (tests, several
  // set-ups side by side); otherwise they live beside the executable or in the user's config.
  orvane::CIniFile::SetExecutableDirectory(QApplication::applicationDirPath().toStdString());
  std::optional<orvane::CIniFile> chosenIni;
  if (const char* directory = std::getenv("ORVANE_SETTINGS_DIR"); directory && *directory) {
    chosenIni.emplace(std::string(directory));
  }
  orvane::CIniFile& iniFile = chosenIni ? *chosenIni : orvane::CIniFile::Instance();
  // What a replacement cut short by the end of an earlier run left there.
  orvane::RemoveStaleTemporaryFiles(orvane::PathFromUtf8(iniFile.GetDirectory()));

  orvane::QtUserMessages messages;
  orvane::QtDesktopServices desktop;
  // The bridge brings MIDI input to this thread; it outlives the layer that wakes it.
  orvane::QtMidiInputBridge bridge;
  std::unique_ptr<orvane::SystemMidiLayer> midi;
  // A stop signal until the window is shown (also while the box below is) ends the program at
  // once with status 1, as OK on a fatal box does (EndProcessOnStopSignals, called by main).
  try {
    midi = bridge.CreateMidiLayer(std::move(midiStartup));
    midi->WaitForPorts();
  } catch (const std::exception&) {
    // The MIDI system itself failed while listing its ports: nothing can sound.
    namespace text = orvane::device_messages;
    messages.ShowMessage(text::kDevicesFailed, text::kErrorCaption, orvane::MessageIcon::Warning);
    return 1;
  }
  orvane::COrvaneApp app(orvane::AppServices{*midi, messages, desktop, iniFile},
                         std::move(arguments));
  app.CloseOnSessionEnd();
  app.InitInstance();
  return QApplication::exec();
}
