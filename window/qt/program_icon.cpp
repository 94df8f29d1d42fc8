#include "program_icon.h"

#include <QDir>
#include <QImageReader>
#include <QString>

// The images live in a static library; naming its resource keeps the linker
// from dropping them.
static void InitIconResource() {
  Q_INIT_RESOURCE(linksift_icons);
}

namespace linksift {

QIcon ProgramIcon() {
  InitIconResource();
  QIcon icon;
  // Every size the build rendered, each given with its size so that none has
  // to be scaled from another.
  const QDir images(QStringLiteral(":/linksift"), QStringLiteral("linksift-*.png"));
  for (const QString& name : images.entryList()) {
    const QString path = images.filePath(name);
    icon.addFile(path, QImageReader(path).size());
  }
  return icon;
}

}  // namespace linksift
