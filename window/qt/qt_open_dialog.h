#pragma once

#include <QFileDialog>
#include <QStringList>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "open_dialog.h"

namespace linksift {

// Qt's name filters for a "description|patterns|..." filter: each entry reads
// as its description, followed by its patterns in parentheses unless the
// description already ends with them (Qt takes the patterns from there).
QStringList QtNameFilters(const std::string& filter);

// CD1 as a QFileDialog for one existing file. One dialog serves every press,
// so it opens where the user last was.
class QtOpenDialog final : public OpenDialog {
 public:
  explicit QtOpenDialog(QWidget* parent);

  std::optional<std::filesystem::path> Show(const std::string& title,
                                            const std::string& filter) override;

 private:
  std::unique_ptr<QFileDialog> dialog_;
};

}  // namespace linksift
