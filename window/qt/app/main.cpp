#include "application.h"

int main(int argc, char** argv) {
  return linksift::RunLinksift(argc, argv);
}
