#include <csignal>
#include <cstdio>
#include <iostream>
#if defined(ZET_SHARED_TWIN)
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "cli/usage_error.hpp"
#endif

#include "cli/app.hpp"
#if !defined(_WIN32)
#include "embedded/database.hpp"
#endif

#if defined(ZET_SHARED_TWIN)
// This program is linked statically and cannot load the ODBC driver
// manager: a run over ODBC is handed, as it stands, to the twin beside it
// that can. Only when that fails does it end here, in one line.
void HandOverOdbc(char** argv) {
  bool odbc = false;
  for (char** arg = argv + 1; *arg; ++arg)
    odbc = odbc || std::strcmp(*arg, "--odbc") == 0 || std::strncmp(*arg, "--odbc=", 7) == 0;
  if (!odbc) return;
  std::string self(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
  self = length > 0 ? self.substr(0, static_cast<size_t>(length)) : std::string(argv[0]);
  const std::string twin = self.substr(0, self.rfind('/') + 1) + ZET_SHARED_TWIN;
  ::execv(twin.c_str(), argv);
  const std::string why = std::strerror(errno);
  std::fprintf(
      stderr, "zetmovebill: %s\n",
      zet::cli::OneLine("cannot connect through ODBC: " + twin + ", which runs over ODBC, cannot be run: " + why)
          .c_str());
  std::exit(4);
}
#endif

int main(int argc, char** argv) {
#if defined(ZET_SHARED_TWIN)
  HandOverOdbc(argv);
#endif
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
