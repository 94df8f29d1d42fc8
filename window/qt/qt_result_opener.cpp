#include "qt_result_opener.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFile>
#include <QUrl>

namespace linksift {
namespace {

QUrl UrlOf(const std::filesystem::path& path) {
  // As bytes: a name need not be UTF-8.
  return QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path.string())));
}

}  // namespace

void QtResultOpener::ShowInFolder(const std::filesystem::path& file) {
  const QUrl folder = UrlOf(file.parent_path());
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    QDesktopServices::openUrl(folder);
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.FileManager1",
                                                     "/org/freedesktop/FileManager1",
                                                     "org.freedesktop.FileManager1", "ShowItems");
  call << QStringList{UrlOf(file).toString(QUrl::FullyEncoded)} << QString();
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), context_);
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context_,
                   [folder](QDBusPendingCallWatcher* finished) {
                     // No file manager on the bus, or one that refused.
                     if (QDBusPendingReply<>(*finished).isError()) {
                       QDesktopServices::openUrl(folder);
                     }
                     finished->deleteLater();
                   });
}

void QtResultOpener::Open(const std::filesystem::path& file) {
  QDesktopServices::openUrl(UrlOf(file));
}

}  // namespace linksift
