#include <exception>
#include <iostream>
#include <new>

#include "cli/Cli.h"

// No exception leaves the program: the library returns errors as values,
// but the standard library can still throw (memory running out above all),
// and an uncaught exception aborts without a word.
int main(int argc, char** argv) {
  try {
    return tolvan::cli::RunCli(argc, argv, std::cout, std::cerr);
  } catch (const std::bad_alloc&) {
    std::cerr << "Tolvan: out of memory\n";
  } catch (const std::exception& e) {
    std::cerr << "Tolvan: internal error: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "Tolvan: internal error\n";
  }
  return 1;
}
