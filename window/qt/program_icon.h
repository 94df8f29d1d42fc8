#pragma once

#include <QIcon>

namespace linksift {

// The window's and the program's icon, in every size rendered from the
// program's SVG drawing; 16 and 32 pixels are drawn sharp, in a few colours.
QIcon ProgramIcon();

}  // namespace linksift
