// `document --dry-run` and `review` as a user runs them in a terminal window
// and into a pipe: the program in a child process whose standard output and
// error are a pseudo-terminal, or pipes. The terminal shows a progress line
// that clears itself and the diff in its own encoding, with a note saying
// so; a pipe gets the files' own bytes and no progress line.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>

#include "CliRun.h"
#include "cli/TerminalDiff.h"

namespace tolvan {
namespace {

namespace fs = std::filesystem;

struct Seen {
  std::string out;  // a terminal: all it showed
  std::string err;
  int status = -1;
};

// Runs the command line in a child with `locale`, its std::cout and
// std::cerr both on one pseudo-terminal (with no LF to CR LF of its own) or
// on two pipes.
Seen RunAttached(bool terminal, const std::vector<std::string>& args, const std::string& locale) {
  int out_fd = -1, err_fd = -1;
  int out_pipe[2] = {-1, -1}, err_pipe[2] = {-1, -1};
  std::cout.flush();
  std::cerr.flush();
  pid_t pid = -1;
  if (terminal) {
    pid = forkpty(&out_fd, nullptr, nullptr, nullptr);
  } else if (pipe(out_pipe) == 0 && pipe(err_pipe) == 0) {
    pid = fork();
  }
  if (pid < 0) return {};
  if (pid == 0) {
    if (terminal) {
      termios t;
      tcgetattr(STDOUT_FILENO, &t);
      t.c_oflag &= ~OPOST;
      tcsetattr(STDOUT_FILENO, TCSANOW, &t);
    } else {
      dup2(out_pipe[1], STDOUT_FILENO);
      dup2(err_pipe[1], STDERR_FILENO);
      for (int fd : {out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) close(fd);
    }
    setenv("LC_ALL", locale.c_str(), 1);
    std::vector<const char*> argv{"tolvan"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    LocalFileSystem disk;
    const int status =
        cli::RunCli(static_cast<int>(argv.size()), argv.data(), std::cout, std::cerr, disk);
    std::cout.flush();
    std::cerr.flush();
    _exit(status);
  }
  if (!terminal) {
    close(out_pipe[1]);
    close(err_pipe[1]);
    out_fd = out_pipe[0];
    err_fd = err_pipe[0];
  }
  Seen seen;
  std::vector<pollfd> open{{out_fd, POLLIN, 0}};
  if (err_fd >= 0) open.push_back({err_fd, POLLIN, 0});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!open.empty() && std::chrono::steady_clock::now() < deadline) {
    if (poll(open.data(), open.size(), 1000) < 0) break;
    for (size_t i = 0; i < open.size(); ++i) {
      if (open[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(open[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (open[i].fd == out_fd ? seen.out : seen.err).append(buffer, static_cast<size_t>(n));
        continue;
      }
      // The end of a pipe, or EIO from a terminal nobody holds any more.
      close(open[i].fd);
      open.erase(open.begin() + static_cast<long>(i--));
    }
  }
  for (const pollfd& p : open) close(p.fd);
  if (!open.empty()) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  seen.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return seen;
}

// The progress line's output for `count` files, in order, cleared at the end.
std::string Progress(const char* verb, int count) {
  std::string out;
  for (int done = 1; done <= count; ++done) {
    out += "\rTolvan: " + std::string(verb) + " " + std::to_string(done) + "/" +
           std::to_string(count) + " files";
  }
  return out + "\r\033[K";
}

TEST(OnATerminal, TheDiffIsShownInItsEncodingAndAPipeGetsTheFilesBytes) {
  const fs::path root = testing::MakeScratchFolder("tolvan-terminal-");
  fs::create_directories(root / "config");
  testing::SetEnv("XDG_CONFIG_HOME", PathUtf8(root / "config"));
  // Enough CP932 modules, with CR LF, for four workers to finish out of order.
  constexpr int kFiles = 24;
  for (int i = 0; i < kFiles; ++i) {
    fs::copy_file(fs::path(TOLVAN_SOURCE_DIR) / "examples" / "Payroll" / "modCalc.bas",
                  root / ("modCalc" + std::to_string(100 + i) + ".bas"));
  }
  const std::vector<std::string> document = {"document",   PathUtf8(root), "--dry-run", "--now",
                                             "2026-12-08", "--jobs",       "4"};
  const std::vector<std::string> review = {"review", PathUtf8(root), "--jobs", "4"};
  // The same runs into strings: the files' own bytes.
  const testing::RunResult dry = testing::Tolvan(document);
  ASSERT_EQ(dry.status, 0) << dry.err;
  ASSERT_NE(dry.out.find("\r\n"), std::string::npos);
  const testing::RunResult listed = testing::Tolvan(review);
  ASSERT_EQ(listed.status, 1) << listed.err;
  // Every name is ASCII, so the whole output converts as one file's diff.
  const std::string note =
      " with LF line ends for this terminal; redirect it to a file or a pipe for the files' own "
      "bytes (CP932)\n";

  struct Row {
    const char* name;
    std::vector<std::string> args;
    bool terminal;
    std::string locale;
    std::string out, err;
    int status;
  };
  const Row rows[] = {
      {"document on a UTF-8 terminal", document, true, "C.UTF-8",
       Progress("checking", kFiles) + "Tolvan: the diff is shown in UTF-8" + note +
           cli::DiffForTerminal(dry.out, "CP932", "UTF-8") + dry.err,
       "", 0},
      {"document on an ASCII terminal", document, true, "C",
       Progress("checking", kFiles) + "Tolvan: the diff is shown in ASCII" + note +
           cli::DiffForTerminal(dry.out, "CP932", "ANSI_X3.4-1968") + dry.err,
       "", 0},
      {"document into a pipe", document, false, "C.UTF-8", dry.out, dry.err, 0},
      {"review on a terminal", review, true, "C.UTF-8", Progress("reviewing", kFiles) + listed.out,
       "", 1},
      {"review into a pipe", review, false, "C.UTF-8", listed.out, "", 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Seen seen = RunAttached(row.terminal, row.args, row.locale);
    EXPECT_EQ(seen.status, row.status) << seen.err;
    EXPECT_EQ(seen.out, row.out);
    EXPECT_EQ(seen.err, row.err);
  }
  fs::remove_all(root);
}

}  // namespace
}  // namespace tolvan
