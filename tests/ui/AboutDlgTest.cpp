#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QtTest/QTest>

#include "AppFixture.h"
#include "ui/AboutDlg.h"

namespace orvane::testing {
namespace {

QPushButton* Button(const CAboutDlg& about, const char* id) {
  auto* button = about.findChild<QPushButton*>(id);
  EXPECT_NE(button, nullptr) << id;
  return button;
}

TEST(AboutBox, CaptionAndButtonTexts) {
  ScriptedDesktop desktop;
  CAboutDlg about(desktop, nullptr);
  EXPECT_EQ(about.windowTitle(), "About Tellak Orvane");
  EXPECT_EQ(Button(about, "1070")->text(),
            QString::fromUtf8(u8"Homepage \u2014 new versions and sound files (*.orvane)"));
  EXPECT_EQ(Button(about, "1069")->text(), "Musician software on www.orvane-music.net");
  EXPECT_EQ(Button(about, "IDOK")->text(), "OK");
  EXPECT_TRUE(Button(about, "IDOK")->isDefault());
}

// Every text lies inside its control with room to spare: half an average character on each side
// of a label's text, and of a button's text within the style's frame and padding.
void ExpectEveryTextKeepsAMargin(CAboutDlg& about) {
  about.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
  const QFontMetrics metrics(about.font());
  const int margin = metrics.averageCharWidth() / 2;
  int texts = 0;
  for (const QLabel* label : about.findChildren<QLabel*>()) {
    EXPECT_TRUE(about.rect().contains(label->geometry()));
    if (label->text().isEmpty()) continue;  // the icon
    ++texts;
    EXPECT_LE(metrics.horizontalAdvance(label->text()) + 2 * margin, label->width())
        << label->text().toStdString();
    EXPECT_LE(metrics.height(), label->height()) << label->text().toStdString();
  }
  // What the style draws around a button's text (its minimum width for short texts aside).
  const QStyle& style = *about.style();
  const int padding = style.pixelMetric(QStyle::PM_ButtonMargin) +
                      2 * style.pixelMetric(QStyle::PM_DefaultFrameWidth);
  for (const QPushButton* button : about.findChildren<QPushButton*>()) {
    ++texts;
    EXPECT_TRUE(about.rect().contains(button->geometry()));
    EXPECT_LE(metrics.horizontalAdvance(button->text()) + padding + 2 * margin, button->width())
        << button->text().toStdString();
    EXPECT_LE(metrics.height() + padding, button->height()) << button->text().toStdString();
  }
  EXPECT_EQ(texts, 5);
}

TEST(AboutBox, EveryTextKeepsItsMarginsAtAnyFontSize) {
  const QFont original = QApplication::font();
  for (const qreal scale : {1.0, 2.0}) {
    SCOPED_TRACE(scale);
    QFont font = original;
    font.setPointSizeF(original.pointSizeF() * scale);
    QApplication::setFont(font);
    ScriptedDesktop desktop;
    CAboutDlg about(desktop, nullptr);
    ExpectEveryTextKeepsAMargin(about);
  }
  QApplication::setFont(original);

  // A font given to the open box lays it out anew.
  ScriptedDesktop desktop;
  CAboutDlg about(desktop, nullptr);
  const int okWidth = Button(about, "IDOK")->width();
  QFont larger = about.font();
  larger.setPointSizeF(larger.pointSizeF() * 1.5);
  about.setFont(larger);
  EXPECT_GT(Button(about, "IDOK")->width(), okWidth);
  ExpectEveryTextKeepsAMargin(about);
}

}  // namespace
}  // namespace orvane::testing
