#include <csignal>
#include <cstdio>
#include <iostream>

#include "cli/app.hpp"
#if !defined(_WIN32)
#include "embedded/database.hpp"
#endif

int main(int argc, char** argv) {
  // Run catches everything it can; this is the last guard, for a failure while
  // reporting one.
  // Past the file-size limit a write fails with an error the tool reports,
  // instead of the signal ending the process with a half-written file.
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  // A reader that went away (`| head -1`) is output that could not be
  // written: said in one line with its status, not a silent death.
#ifdef SIGPIPE
  std::signal(SIGPIPE, SIG_IGN);
#endif
#if !defined(_WIN32)
  zet::embedded::SkipMemoryStatistics();
  zet::embedded::LeaveIdleConnectionsToExit();
#endif
  try {
    return zet::cli::Run(argc, argv, std::cout, std::cerr);
  } catch (...) {
    std::fputs("zetmovebill: internal error\n", stderr);
    return 3;
  }
}
