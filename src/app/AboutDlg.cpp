#include "app/AboutDlg.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "platform/DesktopServices.h"
#include "platform/QtText.h"
#include "resources/CommandIds.h"
#include "resources/Texts.h"

namespace orvane {
namespace {

// Dialog units of an 8-point dialog font: a quarter of the average character width across,
// an eighth of the character height down.
QRect FromDialogUnits(int left, int top, int width, int height) {
  constexpr int kBaseX = 6;
  constexpr int kBaseY = 13;
  return QRect(left * kBaseX / 4, top * kBaseY / 8, width * kBaseX / 4, height * kBaseY / 8);
}

QLabel* CentredLine(QWidget* parent, std::string_view text, int top) {
  auto* label = new QLabel(ToQString(text), parent);
  label->setAlignment(Qt::AlignCenter);
  label->setGeometry(FromDialogUnits(7, top, 220, 8));
  return label;
}

}  // namespace

CAboutDlg::CAboutDlg(DesktopServices& desktop, QWidget* parent) : QDialog(parent) {
  setWindowTitle(ToQString(texts::kAboutCaption));
  setFixedSize(FromDialogUnits(0, 0, 234, 106).size());

  auto* icon = new QLabel(this);
  const QRect iconRect = FromDialogUnits(7, 6, 20, 20);
  icon->setGeometry(iconRect);
  icon->setPixmap(QIcon(":/orvane/orvane.png").pixmap(iconRect.size()));

  CentredLine(this, texts::kAboutLine1, 37);
  CentredLine(this, texts::kAboutLine2, 48);

  auto* product = new QPushButton(ToQString(texts::kProductButton), this);
  product->setObjectName(QString::number(kIdcProductPageButton));
  product->setGeometry(FromDialogUnits(7, 63, 220, 14));
  product->setAutoDefault(false);
  connect(product, &QPushButton::clicked, this,
          [&desktop] { desktop.OpenUrl(std::string(texts::kProductPage)); });

  auto* maker =
      new QPushButton(ToQString(texts::kMakerPrefix) + ToQString(texts::kMakerSite), this);
  maker->setObjectName(QString::number(kIdcMakerPageButton));
  maker->setGeometry(FromDialogUnits(7, 83, 178, 16));
  maker->setAutoDefault(false);
  connect(maker, &QPushButton::clicked, this,
          [&desktop] { desktop.OpenUrl(std::string(texts::kMakerStartPage)); });

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("IDOK");
  ok->setGeometry(FromDialogUnits(191, 83, 36, 16));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace orvane
