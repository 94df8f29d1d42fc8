#include <windows.h>

#include "application.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
#ifdef LINKSIFT_INSTALLED
  return linksift::RunLinksift(instance, show, linksift::Placement::kInstalled);
#else
  return linksift::RunLinksift(instance, show, linksift::Placement::kOwnFolder);
#endif
}
