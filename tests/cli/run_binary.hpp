#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace zet::cli::testing {

// What one run of the zetmovebill binary left behind.
struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string Quote(const std::string& arg) {
  std::string quoted = "'";
  for (const char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A directory of its own for each test, removed afterwards; the binary runs
// inside it, so that its default database is looked for there.
class Sandbox {
 public:
  Sandbox() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zetmovebill-cli-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
  }
  ~Sandbox() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  std::filesystem::path Path(const std::string& name) const { return dir_ / name; }

  // One run, through a shell `prefix` when given (a ulimit, another user),
  // with standard output to `out` when given (/dev/full).
  RunResult Zet(const std::vector<std::string>& args, const std::string& prefix = "", std::string out = "") const {
    if (out.empty()) out = Path(".out").string();
    std::string command = "cd " + Quote(dir_.string()) + " && " + prefix + " " + Quote(ZETMOVEBILL_EXE);
    for (const std::string& arg : args) command += " " + Quote(arg);
    command += " >" + Quote(out) + " 2>" + Quote(Path(".err").string()) + " </dev/null";
    const int raw = std::system(command.c_str());
    RunResult run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(Path(".out")), ReadFile(Path(".err"))};
    std::filesystem::remove(Path(".out"));
    return run;
  }

  // The demo database, made as a user makes it: zetmovebill init --demo.
  void MakeDemo() const {
    const RunResult run = Zet({"--db", "demo.db", "init", "--demo"});
    if (run.status != 0) throw std::runtime_error("init --demo failed: " + run.err);
  }

 private:
  std::filesystem::path dir_;
};

}  // namespace zet::cli::testing
