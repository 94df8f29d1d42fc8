#pragma once

#include <QObject>

#include "result_opener.h"

namespace linksift {

// The desktop's file manager, reached on the session bus
// (org.freedesktop.FileManager1), and its opener (xdg-open) for what no file
// manager answers and for opening urls.txt itself. Asynchronous: the window
// never waits for either.
class QtResultOpener final : public ResultOpener {
 public:
  // Replies come back to `context`'s thread and lapse with it.
  explicit QtResultOpener(QObject* context) : context_(context) {}

  void ShowInFolder(const std::filesystem::path& file) override;
  void Open(const std::filesystem::path& file) override;

 private:
  QObject* context_;
};

}  // namespace linksift
