#include <iostream>

#include "cli/Cli.h"

int main(int argc, char** argv) { return tolvan::cli::RunCli(argc, argv, std::cout, std::cerr); }
