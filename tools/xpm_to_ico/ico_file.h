#pragma once

#include <string>
#include <vector>

#include "xpm_image.h"

namespace linksift {

// A Windows icon file holding `images` in order, each stored with 4 bits per
// pixel (16 colours) and a transparency mask from the XPM "None" colour.
// Throws XpmError for a picture of more than 16 opaque colours or wider or
// taller than 256.
std::string EncodeIco(const std::vector<XpmImage>& images);

}  // namespace linksift
