#pragma once

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QWidget>
#include <cstdlib>

#include "RecordingMidiLayer.h"
#include "RecordingUserMessages.h"
#include "TempDir.h"
#include "core/config/IniFile.h"
#include "core/midi/ToneGen.h"

namespace orvane::testing {

// A tone generator on the recording MIDI layer, with its settings in a fresh directory. Its
// messages are recorded, or shown as real message boxes with QtUserMessages.
template <typename Messages = RecordingUserMessages>
struct BasicToneGenRig {
  TempDir directory;
  RecordingMidiLayer midi;
  Messages messages;
  CIniFile iniFile{directory.path().string()};
  CToneGen toneGen{midi, messages, iniFile};

  std::string PathOf(const char* name) const { return directory.File(name); }
};
using ToneGenRig = BasicToneGenRig<>;

// Opens `list` with a click, as the user does, and checks that it drops down below the box as
// `rows` rows with a scroll bar for the rest, inside the screen; then closes it again.
inline void ExpectDropDownList(QWidget& dialog, QComboBox& list, int rows) {
  QTest::mouseClick(dialog.windowHandle(), Qt::LeftButton, {},
                    list.mapTo(&dialog, list.rect().center()));
  QAbstractItemView* view = list.view();
  ASSERT_TRUE(QTest::qWaitFor([view] { return view->isVisible(); }));
  const QRect popup = view->window()->geometry();
  EXPECT_EQ(view->viewport()->height() / view->sizeHintForRow(0), rows);
  EXPECT_TRUE(view->verticalScrollBar()->isVisible());
  EXPECT_GE(popup.top(), list.mapToGlobal(QPoint(0, list.height())).y() - 1) << "not below";
  EXPECT_TRUE(list.screen()->availableGeometry().contains(popup)) << "beyond the screen";
  list.hidePopup();
}

// Saves a picture of `widget` as `fileName` in $ORVANE_SCREENSHOT_DIR when that is set.
inline void SaveScreenshotIfAsked(QWidget& widget, const char* fileName) {
  const char* directory = std::getenv("ORVANE_SCREENSHOT_DIR");
  if (directory == nullptr || *directory == '\0') return;
  widget.grab().save(QDir(QString::fromLocal8Bit(directory)).filePath(fileName));
}

}  // namespace orvane::testing
