#include "qt_open_dialog.h"

#include <QFile>

#include "dialog_filter.h"

namespace linksift {

QStringList QtNameFilters(const std::string& filter) {
  QStringList filters;
  for (const FilterEntry& entry : SplitDialogFilter(filter)) {
    QString patterns = QString::fromStdString(entry.patterns);
    patterns.replace(u';', u' ');
    QString description = QString::fromStdString(entry.description);
    const QString listed = "(" + patterns + ")";
    if (!description.endsWith(listed)) description += (description.isEmpty() ? "" : " ") + listed;
    filters << description;
  }
  return filters;
}

QtOpenDialog::QtOpenDialog(QWidget* parent) : dialog_(std::make_unique<QFileDialog>(parent)) {
  dialog_->setObjectName("CD1");
  dialog_->setAcceptMode(QFileDialog::AcceptOpen);
  dialog_->setFileMode(QFileDialog::ExistingFile);
}

std::optional<std::filesystem::path> QtOpenDialog::Show(const std::string& title,
                                                        const std::string& filter) {
  dialog_->setWindowTitle(QString::fromStdString(title));
  dialog_->setNameFilters(QtNameFilters(filter));
  if (dialog_->exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog_->selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  // The name's bytes as the file system holds them.
  return std::filesystem::path(QFile::encodeName(files.first()).toStdString());
}

}  // namespace linksift
