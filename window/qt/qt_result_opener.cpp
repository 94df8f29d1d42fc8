#include "qt_result_opener.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QProcess>
#include <QStringList>
#include <cerrno>
#include <system_error>
#include <utility>

#include "error_text.h"
#include "reason_text.h"

namespace linksift {
namespace {

bool Unreserved(unsigned char byte) {
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
         (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

// The desktop's opener on `url`; its failure, with the reason, goes to `failed`.
void RunOpener(QObject* context, const QString& url, ResultOpener::Failed failed) {
  auto* opener = new QProcess(context);
  // Its output is the user's business, as it would be from a terminal.
  opener->setProcessChannelMode(QProcess::ForwardedChannels);
  QObject::connect(opener, &QProcess::finished, context,
                   [opener, failed](int code, QProcess::ExitStatus status) {
                     opener->deleteLater();
                     if (status != QProcess::NormalExit) {
                       failed(ReasonText(std::make_error_code(std::errc::interrupted)));
                     } else if (code != 0) {
                       failed(XdgOpenReason(code));
                     }
                   });
  QObject::connect(opener, &QProcess::errorOccurred, context,
                   [opener, failed](QProcess::ProcessError error) {
                     if (error != QProcess::FailedToStart) return;
                     opener->deleteLater();
                     failed("Не найдена программа xdg-open");
                   });
  opener->start(QStringLiteral("xdg-open"), {url});
}

}  // namespace

QString FileUrl(const std::filesystem::path& path) {
  QString url = QStringLiteral("file://");
  char previous = '\0';
  for (const char c : path.native()) {
    const auto byte = static_cast<unsigned char>(c);
    // "//" and "/" are one folder; a doubled one at the start would read as a host.
    if (c == '/' && previous == '/') continue;
    previous = c;
    if (Unreserved(byte) || c == '/') {
      url += QChar(c);
    } else {
      url += QStringLiteral("%%1").arg(byte, 2, 16, QChar(u'0')).toUpper();
    }
  }
  return url;
}

std::string XdgOpenReason(int exit_code) {
  switch (exit_code) {
    case 2:  // the file does not exist
      return ReasonText(std::make_error_code(std::errc::no_such_file_or_directory));
    case 3:  // no method available
      return std::string(kNoProgramReason);
    case 4:  // the program it started failed
      return "Программа для открытия завершилась с ошибкой";
    default:
      return "xdg-open завершилась с кодом " + std::to_string(exit_code);
  }
}

void QtResultOpener::ShowInFolder(const std::filesystem::path& file, Failed failed) {
  const QString folder = FileUrl(file.parent_path());
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    RunOpener(context_, folder, std::move(failed));
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.FileManager1",
                                                     "/org/freedesktop/FileManager1",
                                                     "org.freedesktop.FileManager1", "ShowItems");
  call << QStringList{FileUrl(file)} << QString();
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), context_);
  QObject::connect(
      watcher, &QDBusPendingCallWatcher::finished, context_,
      [context = context_, folder, failed = std::move(failed)](QDBusPendingCallWatcher* finished) {
        // No file manager on the bus, or one that refused.
        if (QDBusPendingReply<>(*finished).isError()) {
          RunOpener(context, folder, failed);
        }
        finished->deleteLater();
      });
}

void QtResultOpener::Open(const std::filesystem::path& file, Failed failed) {
  RunOpener(context_, FileUrl(file), std::move(failed));
}

}  // namespace linksift
