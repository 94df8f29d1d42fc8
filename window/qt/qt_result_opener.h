#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <string>

#include "result_opener.h"

namespace linksift {

// A local file's URL from its bytes, percent-encoded, with an empty host: a
// name need not be UTF-8, and a path that starts "//" names no host.
QString FileUrl(const std::filesystem::path& path);

// The desktop's file manager, reached on the session bus
// (org.freedesktop.FileManager1), and its opener (xdg-open) for what no file
// manager answers and for opening urls.txt itself. Asynchronous: the window
// never waits for either; a failure comes back later, on `context`'s thread.
class QtResultOpener final : public ResultOpener {
 public:
  // Replies come back to `context`'s thread and lapse with it.
  explicit QtResultOpener(QObject* context) : context_(context) {}

  void ShowInFolder(const std::filesystem::path& file, Failed failed) override;
  void Open(const std::filesystem::path& file, Failed failed) override;

 private:
  QObject* context_;
};

// Why xdg-open failed, from its exit code, in the window's language.
std::string XdgOpenReason(int exit_code);

}  // namespace linksift
