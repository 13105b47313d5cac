#include "save_dialog.hpp"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "error.hpp"
#include "output_target.hpp"

namespace kestrix::ui {

std::optional<std::filesystem::path> askForSaveFile(
    QWidget* parent, const QString& caption, const QString& filter, const QString& suggested,
    const std::function<void(const std::filesystem::path&)>& check) {
  const QString suffix = QFileInfo(suggested).suffix();
  const QString title = parent ? parent->window()->windowTitle() : caption;
  QString start = suggested;
  for (;;) {
    QFileDialog dialog(parent, caption, start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    QString name = dialog.selectedFiles().front();
    start = name;
    // A desktop's own dialog may hand back the bare name: then the suffix is
    // added here, and the question it could not ask is asked here.
    if (QFileInfo(name).suffix().isEmpty() && !suffix.isEmpty()) {
      name += QLatin1Char('.') + suffix;
      if (QFileInfo::exists(name) &&
          QMessageBox::question(parent, caption,
                                QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                    .arg(QFileInfo(name).fileName())) != QMessageBox::Yes)
        continue;
    }
    const std::filesystem::path target(QFile::encodeName(name).toStdString());
    try {
      refuseUnsafeTarget(target);
      if (check) check(target);
      return target;
    } catch (const ConversionError& e) {
      // Logger data is never replaced: another name, then.
      QMessageBox::critical(parent, title, QString::fromUtf8(e.what()));
    }
  }
}

}  // namespace kestrix::ui
