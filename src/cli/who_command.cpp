#include "cli/who_command.hpp"

#include <iomanip>
#include <string>
#include <vector>

#include "cli/commands.hpp"
#include "cli/usage_error.hpp"
#include "cli/value_json.hpp"
#include "explain/explain.hpp"

namespace zet::cli {

int RunWho(const GlobalOptions& options, int32_t trans_type, int32_t bill, std::ostream& out, std::ostream& err) {
  Session session(options, err);
  WarnUnknownKind(trans_type, err);
  const std::vector<explain::UserVerdict> users = session.Untraced([&] {
    return explain::WhoMayOpen(
        session.Platform(), [&](const std::string& props) { session.SetProps(props); }, trans_type, bill);
  });
  size_t disagreements = 0;
  for (const explain::UserVerdict& user : users) disagreements += user.agrees ? 0 : 1;

  if (options.json) {
    Json list = Json::array();
    for (const explain::UserVerdict& user : users)
      list.push_back({{"user", user.user},
                      {"name", user.name},
                      {"may_open", user.may_open},
                      {"piece", user.may_open ? Json(nullptr) : Json(user.piece)},
                      {"why", user.may_open ? Json(nullptr) : Json(user.why)},
                      {"agrees", user.agrees}});
    Json json;
    json["trans_type"] = trans_type;
    json["bill"] = bill;
    json["users"] = std::move(list);
    json["messages"] = session.Messages();
    out << Dump(json) << '\n';
  } else {
    size_t may = 0;
    for (const explain::UserVerdict& user : users) may += user.may_open ? 1 : 0;
    out << "who may open bill " << bill << " of kind " << trans_type << ": " << may << " of " << users.size()
        << " users\n";
    for (const explain::UserVerdict& user : users) {
      out << std::setw(7) << user.user << "  " << std::left << std::setw(10) << user.name << std::right
          << (user.may_open ? "yes" : "no   " + (user.piece.empty() ? "" : user.piece + ": ") + user.why)
          << (user.agrees ? "" : "  (the explanation disagrees with CheckSearchBill)") << '\n';
    }
  }
  session.ExitCode();
  if (disagreements != 0) {
    err << "zetmovebill: " << disagreements << " explanation" << (disagreements == 1 ? "" : "s")
        << " disagree with CheckSearchBill: do not trust the pieces named\n";
    return kExitInternal;
  }
  return kExitOk;
}

}  // namespace zet::cli
