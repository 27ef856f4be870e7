#pragma once

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>

namespace orvane {

// The application's style, except that combo box lists drop down below the box. Styles that
// open the list over the box instead (Fusion among them) ignore the visible-row limit: the 128
// patches would open as a column the height of the screen.
class DropDownListStyle : public QProxyStyle {
 public:
  DropDownListStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_ComboBox_Popup) return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

// Makes `list` drop down as `rows` rows with a scroll bar for the rest, at any font and scale.
inline void ShowAsDropDownList(QComboBox& list, int rows) {
  // One style for every list, owned by the application (styles outlive the widgets using them).
  static QPointer<QStyle> style;
  if (style == nullptr) {
    style = new DropDownListStyle;
    style->setParent(QApplication::instance());
  }
  list.setStyle(style);
  list.setMaxVisibleItems(rows);
  // A list made under the other kind of style has its scroll bar turned off.
  list.view()->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

}  // namespace orvane
