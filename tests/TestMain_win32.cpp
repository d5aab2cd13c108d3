// main() of the test programs on Windows. GoogleTest's output goes to a
// standard output in binary mode: in text mode every line would end in CR LF,
// and ctest, which lists the tests from that output, would take the CR for
// part of each test's name. A test program started as a child process
// (SystemSupport.h) runs only the body it was asked for.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <io.h>

#include <cstdio>

#include "SystemSupport.h"

int main(int argc, char** argv) {
  ::_setmode(::_fileno(stdout), _O_BINARY);
  if (int status = 0; tolvan::testing::RunChildBodyIfAsked(argc, argv, status)) return status;
  ::testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
