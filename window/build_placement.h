#pragma once

#include "output_folders.h"

namespace linksift {

// Where this program writes urls.txt, as its build chose: LINKSIFT_INSTALLED
// marks the packages' copy. Only the programs' main includes it.
constexpr Placement BuildPlacement() {
#ifdef LINKSIFT_INSTALLED
  return Placement::kInstalled;
#else
  return Placement::kOwnFolder;
#endif
}

}  // namespace linksift
