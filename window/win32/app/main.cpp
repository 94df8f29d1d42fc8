#include <windows.h>

#include "application.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  return linksift::RunLinksift(instance, show);
}
