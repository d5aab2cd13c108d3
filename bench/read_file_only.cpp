// Reads a file and exits: the floor against which the comment command's
// start-up cost is measured.
#include <cstdio>

#include "platform/FileSystem.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  auto bytes = tolvan::ReadFileBytes(argv[1]);
  if (!bytes) return 1;
  std::printf("%zu\n", bytes->size());
  return 0;
}
