#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/ProgramStreams.h"
#include "platform/FileSystem.h"

// No exception leaves the program: the library returns errors as values,
// but the standard library can still throw (memory running out above all),
// and an uncaught exception aborts without a word.
int main(int argc, char** argv) {
  try {
    tolvan::cli::PrepareStandardStreams();
    const std::vector<std::string> arguments = tolvan::cli::ProgramArguments(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
    // The one file system of the process, passed down to everything that
    // reads or writes.
    tolvan::LocalFileSystem files;
    return tolvan::cli::RunCli(static_cast<int>(pointers.size()), pointers.data(), std::cout,
                               std::cerr, files);
  } catch (const std::bad_alloc&) {
    std::cerr << "Tolvan: out of memory\n";
  } catch (const std::exception& e) {
    std::cerr << "Tolvan: internal error: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "Tolvan: internal error\n";
  }
  return 1;
}
