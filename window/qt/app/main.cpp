#include "application.h"

int main(int argc, char** argv) {
#ifdef LINKSIFT_INSTALLED
  return linksift::RunLinksift(argc, argv, linksift::Placement::kInstalled);
#else
  return linksift::RunLinksift(argc, argv, linksift::Placement::kOwnFolder);
#endif
}
