#include "qt_open_dialog.h"

#include <QDir>
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

std::optional<std::filesystem::path> QtOpenDialog::Show(const std::string& title,
                                                        const std::string& filter,
                                                        const std::filesystem::path& start_folder) {
  QFileDialog dialog(parent_);
  dialog.setObjectName("CD1");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  // Qt's own dialog, in the window's language and with the filter as given,
  // whatever platform theme would lend its dialog (GTK's follows the system's
  // language and drops the filter's patterns).
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setWindowTitle(QString::fromStdString(title));
  dialog.setNameFilters(QtNameFilters(filter));
  dialog.setDirectory(start_folder.empty() ? QDir::homePath()
                                           : QFile::decodeName(start_folder.string().c_str()));
  const bool accepted = dialog.exec() == QDialog::Accepted;
  const QStringList files = dialog.selectedFiles();
  // Without a window manager nobody hands the keyboard back to the window.
  if (parent_ != nullptr) {
    parent_->window()->raise();
    parent_->window()->activateWindow();
  }
  if (!accepted || files.isEmpty()) return std::nullopt;
  // The name's bytes as the file system holds them.
  return std::filesystem::path(QFile::encodeName(files.first()).toStdString());
}

}  // namespace linksift
