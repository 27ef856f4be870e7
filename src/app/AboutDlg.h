#pragma once

#include <QDialog>

namespace orvane {

class DesktopServices;

// The about box: the icon, two lines about the maker, the two web-page buttons and OK. The web
// buttons leave the box open.
class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  CAboutDlg(DesktopServices& desktop, QWidget* parent);
};

}  // namespace orvane
