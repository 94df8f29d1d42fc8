#include "program_icon.h"

#include <QPixmap>

#include "linksift_16.xpm"
#include "linksift_32.xpm"

namespace linksift {

QIcon ProgramIcon() {
  QIcon icon;
  icon.addPixmap(QPixmap(linksift_32_xpm));
  icon.addPixmap(QPixmap(linksift_16_xpm));
  return icon;
}

}  // namespace linksift
