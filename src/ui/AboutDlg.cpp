#include "ui/AboutDlg.h"

#include <algorithm>
#include <string_view>

#include <QEvent>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "core/texts/Texts.h"
#include "ui/CommandIds.h"
#include "ui/DesktopServices.h"
#include "ui/QtText.h"
#include "ui/X11Focus.h"

namespace orvane {
namespace {

// The box and its icon, in dialog units.
constexpr QSize kDialogSize(234, 106);
constexpr QRect kIconRect(7, 6, 20, 20);

// a * b / c, rounded to the nearest integer.
int MulDiv(int a, int b, int c) {
  return static_cast<int>((static_cast<long long>(a) * b + c / 2) / c);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  static const QString kLetters =
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const int letters = static_cast<int>(kLetters.size());
  baseX_ = std::max(1, (metrics.horizontalAdvance(kLetters) + letters / 2) / letters);
  baseY_ = std::max(1, metrics.height());
}

QRect DialogUnits::ToPixels(int left, int top, int width, int height) const {
  return QRect(MulDiv(left, baseX_, 4), MulDiv(top, baseY_, 8), MulDiv(width, baseX_, 4),
               MulDiv(height, baseY_, 8));
}

CAboutDlg::CAboutDlg(DesktopServices& desktop, QWidget* parent) : QDialog(parent) {
  setWindowTitle(ToQString(texts::kAboutCaption));

  icon_ = new QLabel(this);
  Place(icon_, kIconRect);

  const auto centredLine = [this](std::string_view text, int top) {
    auto* label = new QLabel(ToQString(text), this);
    label->setAlignment(Qt::AlignCenter);
    Place(label, QRect(7, top, 220, 8));
  };
  centredLine(texts::kAboutLine1, 37);
  centredLine(texts::kAboutLine2, 48);

  auto* product = new QPushButton(ToQString(texts::kProductButton), this);
  product->setObjectName(QString::number(kIdcProductPageButton));
  product->setAutoDefault(false);
  Place(product, QRect(7, 63, 220, 14));
  connect(product, &QPushButton::clicked, this,
          [&desktop] { desktop.OpenUrl(std::string(texts::kProductPage)); });

  auto* maker =
      new QPushButton(ToQString(texts::kMakerPrefix) + ToQString(texts::kMakerSite), this);
  maker->setObjectName(QString::number(kIdcMakerPageButton));
  maker->setAutoDefault(false);
  Place(maker, QRect(7, 83, 178, 16));
  connect(maker, &QPushButton::clicked, this,
          [&desktop] { desktop.OpenUrl(std::string(texts::kMakerStartPage)); });

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("IDOK");
  ok->setDefault(true);
  Place(ok, QRect(191, 83, 36, 16));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  LayOut();
}

void CAboutDlg::Place(QWidget* control, QRect dialogUnits) {
  placed_.emplace_back(control, dialogUnits);
}

// Every control, the icon's picture and the box's size follow the box's font.
void CAboutDlg::LayOut() {
  const DialogUnits units(font());
  for (const auto& [control, rect] : placed_) {
    control->setGeometry(units.ToPixels(rect.x(), rect.y(), rect.width(), rect.height()));
  }
  icon_->setPixmap(QIcon(":/orvane/orvane.png").pixmap(icon_->size()));
  setFixedSize(units.ToPixels(0, 0, kDialogSize.width(), kDialogSize.height()).size());
}

void CAboutDlg::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) LayOut();
  QDialog::changeEvent(event);
}

void CAboutDlg::setVisible(bool visible) {
  if (!visible) PassX11FocusOnHide(*this);
  QDialog::setVisible(visible);
  if (visible) TakeX11FocusWhenShown(*this);
}

}  // namespace orvane
