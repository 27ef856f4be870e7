#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>

#include "core/texts/Texts.h"
#include "ui/DesktopServices.h"
#include "ui/QtText.h"

namespace orvane {
namespace {

// Both voice dialogs share the filter and the default suffix.
void PrepareVoiceDialog(QFileDialog& dialog) {
  dialog.setNameFilter(ToQString(texts::kVoiceFilter));
  dialog.setDefaultSuffix(ToQString(texts::kVoiceSuffix));
}

std::optional<std::string> ChosenPath(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return files.front().toStdString();
}

}  // namespace

std::optional<QColor> QtDesktopServices::ChooseColor(QColor initial, QWidget* parent) {
  const QColor chosen = QColorDialog::getColor(initial, parent);
  if (!chosen.isValid()) return std::nullopt;
  return chosen;
}

std::optional<std::string> QtDesktopServices::SaveFileName(const std::string& initialName,
                                                           QWidget* parent) {
  QFileDialog dialog(parent, ToQString(texts::kSaveVoiceTitle));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  PrepareVoiceDialog(dialog);
  dialog.selectFile(QString::fromStdString(initialName));
  return ChosenPath(dialog);  // QFileDialog asks before overwriting by default
}

std::optional<std::string> QtDesktopServices::OpenFileName(QWidget* parent) {
  QFileDialog dialog(parent, ToQString(texts::kOpenVoiceTitle));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  PrepareVoiceDialog(dialog);
  return ChosenPath(dialog);
}

void QtDesktopServices::OpenUrl(const std::string& address) {
  QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

int QtDesktopServices::RunModal(QDialog& dialog) {
  return dialog.exec();
}

}  // namespace orvane
