#include <cstdio>
#include <iostream>

#include "cli/app.hpp"

int main(int argc, char** argv) {
  // Run catches everything it can; this is the last guard, for a failure while
  // reporting one.
  try {
    return zet::cli::Run(argc, argv, std::cout, std::cerr);
  } catch (...) {
    std::fputs("zetmovebill: internal error\n", stderr);
    return 3;
  }
}
