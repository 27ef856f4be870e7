#include "AppFixture.h"

#include <fstream>
#include <sstream>

#include <QtTest/qtestspontaneevent.h>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QtTest/QTest>

namespace orvane::testing {

int ScriptedDesktop::RunModal(QDialog& dialog) {
  modalDialogs.push_back(dialog.windowTitle().toStdString());
  return QDialog::Rejected;
}

AppTest::AppTest() : ini_(std::make_unique<CIniFile>(dir_.path().toStdString())) {}

AppTest::~AppTest() {
  app_.reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void AppTest::Start(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "orvane");
  app_ =
      std::make_unique<COrvaneApp>(AppServices{midi_, *shownMessages_, desktop_, *ini_}, arguments);
  app_->InitInstance();
  QApplication::setActiveWindow(&frame());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame()));
  view().setFocus();
  QCoreApplication::processEvents();
  midi_.Clear();
}

void AppTest::Close() {
  frame().close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

std::string AppTest::Path(const std::string& name) const {
  return dir_.filePath(QString::fromStdString(name)).toStdString();
}

void AppTest::WriteFile(const std::string& name, const std::string& bytes) const {
  std::ofstream(Path(name), std::ios::binary) << bytes;
}

std::string AppTest::ReadFile(const std::string& name) const {
  std::ifstream in(Path(name), std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

int AppTest::IniValue(const char* section, const char* key, int fallback) const {
  CIniFile reader(dir_.path().toStdString());
  reader.PrepareFile(std::string_view("Orvane.ini"));
  return reader.ReadInt(section, key, fallback);
}

namespace {

QString TextOf(int qtKey, Qt::KeyboardModifiers mods) {
  if (qtKey >= Qt::Key_Space && qtKey <= Qt::Key_AsciiTilde && !(mods & Qt::ControlModifier)) {
    const QChar c(qtKey);
    return (mods & Qt::ShiftModifier) ? QString(c) : QString(c).toLower();
  }
  return {};
}

}  // namespace

void AppTest::Press(int qtKey, unsigned nativeCode, Qt::KeyboardModifiers mods, unsigned nativeMods,
                    bool autoRepeat) {
  QWidget* target = QApplication::focusWidget();
  ASSERT_NE(target, nullptr);
  const QString text = TextOf(qtKey, mods);
  QKeyEvent event(QEvent::KeyPress, qtKey, mods, nativeCode, 0, nativeMods, text, autoRepeat);
  QSpontaneKeyEvent::setSpontaneous(&event);
  if (qt_sendShortcutOverrideEvent(target, event.timestamp(), qtKey, mods, text, autoRepeat)) {
    return;  // taken by a shortcut: the view never sees the press
  }
  QApplication::instance()->notify(target, &event);
}

void AppTest::Release(int qtKey, unsigned nativeCode, Qt::KeyboardModifiers mods,
                      unsigned nativeMods, bool autoRepeat) {
  QWidget* target = QApplication::focusWidget();
  ASSERT_NE(target, nullptr);
  QKeyEvent event(QEvent::KeyRelease, qtKey, mods, nativeCode, 0, nativeMods, TextOf(qtKey, mods),
                  autoRepeat);
  QSpontaneKeyEvent::setSpontaneous(&event);
  QApplication::instance()->notify(target, &event);
}

void AppTest::Tap(int qtKey, unsigned nativeCode, Qt::KeyboardModifiers mods) {
  Press(qtKey, nativeCode, mods);
  Release(qtKey, nativeCode, mods);
}

void AppTest::Mouse(QEvent::Type type, Qt::MouseButton button, QPoint at) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
  QMouseEvent event(type, at, view().mapToGlobal(at), button, held, Qt::NoModifier);
  QSpontaneKeyEvent::setSpontaneous(&event);
  QApplication::instance()->notify(&view(), &event);
}

QPoint AppTest::PianoKeyCentre(int key) {
  // A point inside the key's region: scan its bounding box for the first point the hit test
  // gives to this key, nearest the box centre line.
  const QRect box = view().painter().PianoKeyRect(key);
  for (int y = box.bottom() - 3; y > box.top(); --y) {
    const QPoint point(box.center().x(), y);
    if (view().painter().piano().PianoKeyAt(IntPoint{point.x(), point.y()}) == key) return point;
  }
  ADD_FAILURE() << "no point of key " << key;
  return box.center();
}

QPoint AppTest::ButtonCentre(int button) {
  return view().painter().ButtonRect(button).center();
}

QColor AppTest::ShownAt(QPoint viewPoint) {
  const QPoint at = view().mapTo(&frame(), viewPoint);
  const QPixmap shown = frame().screen()->grabWindow(frame().winId(), at.x(), at.y(), 1, 1);
  return shown.toImage().pixelColor(0, 0);
}

std::vector<ShortMessage> AppTest::NotesAndResets() const {
  std::vector<ShortMessage> result;
  for (const RecordingMidiLayer::Event& event : midi_.events) {
    if (event.kind == RecordingMidiLayer::Kind::Reset) {
      result.push_back(kReset);
    } else if (event.kind == RecordingMidiLayer::Kind::Send) {
      const int status = StatusByte(event.message) & 0xF0;
      if (status == 0x80 || status == 0x90) result.push_back(event.message);
    }
  }
  return result;
}

}  // namespace orvane::testing
