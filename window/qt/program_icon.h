#pragma once

#include <QIcon>

namespace linksift {

// The window's and the program's icon: 32x32 and 16x16, 16 colours.
QIcon ProgramIcon();

}  // namespace linksift
