#include <windows.h>

#include "application.h"
#include "build_placement.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  return linksift::RunLinksift(instance, show, linksift::BuildPlacement());
}
