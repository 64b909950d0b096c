// `who` over a thousand users: the demo database with as many users again
// added beside its own (rights of every kind, in groups of ten), and one
// bill of several kinds asked for each. Prints, per bill, the users asked,
// how many may open it, and the median wall and thread CPU time of the whole
// answer over five runs.
//
// Usage: who_bench [USERS]   (default 1000, the demo's own users included)

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "embedded/database.hpp"
#include "embedded/embedded_host.hpp"
#include "explain/explain.hpp"
#include "host/service_factory.hpp"

namespace {

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int users = argc > 1 ? std::atoi(argv[1]) : 1000;
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "zet-who-bench";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "who.db").string();
  zet::embedded::CreateDatabase(path, true, true, "2026-06-01");
  {
    auto db = zet::embedded::Database::Open(path);
    db->Execute("BEGIN");
    const int demo_users = static_cast<int>(db->Query("SELECT COUNT(*) FROM t_User").rows[0][0].AsLong());
    for (int i = 0; i < users - demo_users; ++i) {
      const std::string id = std::to_string(200000 + i);
      db->Execute("INSERT INTO t_User (FUserID, FName, FUserGroupRight, FDataRight) VALUES (" + id + ", 'u" + id +
                  "', " + std::to_string(i % 3) + ", " + std::to_string(i % 16) +
                  "); INSERT INTO t_Group (FUserID, "
                  "FGroupID) VALUES (" +
                  id + ", " + std::to_string(10 + i / 10) + ")");
    }
    db->Execute("COMMIT");
  }
  auto platform = zet::embedded::EmbeddedPlatform::Open(path, "");
  platform->SetMessageSink([](std::string_view) {});
  const auto log_on = [&](const std::string& props) { platform->SetProps(props); };

  std::printf("%-16s %6s %9s %10s %10s\n", "bill", "users", "may open", "wall ms", "cpu ms");
  for (const auto& [type, bill] : {std::pair{1, 1002}, {1, 1003}, {80, 8003}, {1000202, 20201}, {1125, 201}}) {
    std::vector<double> wall, cpu;
    size_t asked = 0, may = 0;
    for (int run = 0; run < 5; ++run) {
      const auto start = std::chrono::steady_clock::now();
      const double cpu_start = CpuSeconds();
      const auto verdicts = zet::explain::WhoMayOpen(*platform, log_on, type, bill);
      cpu.push_back((CpuSeconds() - cpu_start) * 1e3);
      wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
      asked = verdicts.size();
      may = static_cast<size_t>(
          std::count_if(verdicts.begin(), verdicts.end(), [](const auto& v) { return v.may_open; }));
    }
    std::printf("%-16s %6zu %9zu %10.1f %10.1f\n", (std::to_string(type) + " " + std::to_string(bill)).c_str(), asked,
                may, Median(wall), Median(cpu));
  }
  zet::ReleaseServiceFactory(platform.get());
  platform.reset();
  std::filesystem::remove_all(dir);
  return 0;
}
