#pragma once

#include <QFileDialog>
#include <QStringList>
#include <filesystem>
#include <optional>
#include <string>

#include "open_dialog.h"

namespace linksift {

// Qt's name filters for a "description|patterns|..." filter: each entry reads
// as its description, followed by its patterns in parentheses unless the
// description already ends with them (Qt takes the patterns from there).
QStringList QtNameFilters(const std::string& filter);

// CD1 as a QFileDialog for one existing file, made anew for each press: a
// dialog kept between presses kept its name completer's popup too, which
// stayed on screen and held the keyboard after Enter.
class QtOpenDialog final : public OpenDialog {
 public:
  explicit QtOpenDialog(QWidget* parent) : parent_(parent) {}

  std::optional<std::filesystem::path> Show(const std::string& title, const std::string& filter,
                                            const std::filesystem::path& start_folder) override;

 private:
  QWidget* parent_;
};

}  // namespace linksift
