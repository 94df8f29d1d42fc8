#include "application.h"
#include "build_placement.h"

int main(int argc, char** argv) {
  return linksift::RunLinksift(argc, argv, linksift::BuildPlacement());
}
