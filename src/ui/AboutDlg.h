#pragma once

#include <QDialog>
#include <QRect>
#include <QSize>
#include <utility>
#include <vector>

class QFont;
class QLabel;

namespace orvane {

class DesktopServices;

// How many pixels a dialog unit is in a font, as dialog templates measure: a quarter of the
// average width of the letters A-Z and a-z across, an eighth of the font's height down.
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  QRect ToPixels(int left, int top, int width, int height) const;
  QSize baseUnits() const { return {baseX_, baseY_}; }

 private:
  int baseX_;
  int baseY_;
};

// The about box: the icon, two lines about the maker, the two web-page buttons and OK. The web
// buttons leave the box open. Its controls are placed in dialog units of its own font, so every
// text keeps its margins at any font size and scale.
class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  // Takes the keys the moment it is shown and hands them back before it hides, also without
  // a window manager.
  void setVisible(bool visible) override;
  CAboutDlg(DesktopServices& desktop, QWidget* parent);

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void Place(QWidget* control, QRect dialogUnits);
  void LayOut();

  QLabel* icon_ = nullptr;
  std::vector<std::pair<QWidget*, QRect>> placed_;
};

}  // namespace orvane
