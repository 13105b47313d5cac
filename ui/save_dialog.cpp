#include "save_dialog.hpp"

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>

#include "error.hpp"
#include "output_target.hpp"
#include "path_text.hpp"

namespace kestrix::ui {

std::optional<std::filesystem::path> askForSaveFile(
    QWidget* parent, const QString& caption, const QString& filter, const QString& suggested,
    const std::function<void(const std::filesystem::path&)>& check, SaveChoice* choice) {
  const QString suffix = QFileInfo(suggested).suffix();
  const QString title = parent ? parent->window()->windowTitle() : caption;
  QString start = suggested;
  for (;;) {
    QFileDialog dialog(parent, caption, start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    QCheckBox* box = nullptr;
    if (choice) {
      // A desktop's own dialog takes no widget: Qt's does, below its file list.
      dialog.setOption(QFileDialog::DontUseNativeDialog);
      box = new QCheckBox(choice->text, &dialog);
      box->setObjectName(QLatin1String(saveChoiceName));
      box->setToolTip(choice->toolTip);
      box->setChecked(choice->checked);
      if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(box, grid->rowCount(), 0, 1, grid->columnCount());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    if (box) choice->checked = box->isChecked();
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
    const std::filesystem::path target = pathOf(name);
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
