#pragma once

#include <optional>
#include <string>

#include <QColor>

class QDialog;
class QWidget;

namespace orvane {

// The platform's standard dialogs and the browser, behind one seam so tests can answer them.
class DesktopServices {
 public:
  virtual ~DesktopServices() = default;

  // The colour dialog, starting at `initial`; none when the user cancels.
  virtual std::optional<QColor> ChooseColor(QColor initial, QWidget* parent) = 0;
  // Save-file dialog: asks before overwriting; the chosen full path, or none.
  virtual std::optional<std::string> SaveFileName(const std::string& initialName,
                                                  QWidget* parent) = 0;
  // Open-file dialog accepting only an existing file: the chosen full path, or none.
  virtual std::optional<std::string> OpenFileName(QWidget* parent) = 0;
  // Opens a web address in the user's default browser; the result is not examined.
  virtual void OpenUrl(const std::string& address) = 0;
  // Runs a dialog modally and returns its result code.
  virtual int RunModal(QDialog& dialog) = 0;
};

// The real dialogs: QColorDialog, QFileDialog, QDesktopServices.
class QtDesktopServices : public DesktopServices {
 public:
  std::optional<QColor> ChooseColor(QColor initial, QWidget* parent) override;
  std::optional<std::string> SaveFileName(const std::string& initialName, QWidget* parent) override;
  std::optional<std::string> OpenFileName(QWidget* parent) override;
  void OpenUrl(const std::string& address) override;
  int RunModal(QDialog& dialog) override;
};

}  // namespace orvane
