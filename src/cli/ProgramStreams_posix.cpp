#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/ProgramStreams.h"

namespace tolvan::cli {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void PrepareStandardStreams() {
#if defined(F_SETPIPE_SZ)
  // A module printed into a pipe goes through the pipe's buffer, 64 KiB at
  // first: a larger one (1 MiB, what the system lets any program ask for)
  // lets the printing run ahead of the reader instead of waiting for it
  // every 64 KiB. Only asked for; a pipe that stays small works as well.
  struct stat st {};
  if (::fstat(STDOUT_FILENO, &st) == 0 && S_ISFIFO(st.st_mode)) {
    (void)::fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20);
  }
#endif
}

}  // namespace tolvan::cli
