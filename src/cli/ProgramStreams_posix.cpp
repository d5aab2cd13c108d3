#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "cli/ProgramStreams.h"

namespace tolvan::cli {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void PrepareStandardStreams() {}

void WidenOutputPipe() {
#if defined(F_SETPIPE_SZ)
  // 1 MiB is what the system lets any program ask for. Only asked for; a
  // pipe that stays small works as well.
  struct stat st {};
  if (::fstat(STDOUT_FILENO, &st) == 0 && S_ISFIFO(st.st_mode)) {
    (void)::fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20);
  }
#endif
}

std::string TerminalEncoding() {
  // The program itself stays in the C locale: a locale of the user's would
  // change what the C library takes for a letter in the bytes it reads.
  if (locale_t user = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0))) {
    std::string codeset = nl_langinfo_l(CODESET, user);
    freelocale(user);
    if (!codeset.empty()) return codeset;
  }
  // A locale that is not installed still says its character set in its
  // name ("ja_JP.UTF-8@mod"), which the terminal goes by all the same.
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    const std::string locale = value;
    const size_t dot = locale.find('.');
    if (dot == std::string::npos) break;
    return locale.substr(dot + 1, locale.find('@', dot) - dot - 1);
  }
  return "ANSI_X3.4-1968";
}

}  // namespace tolvan::cli
