#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "cli/session.hpp"

namespace zet::cli {

// Each command returns the exit status: 0, or 1 when the component showed a
// message. Bad input raises UsageError before anything is opened or written.

// zetmovebill init [--demo] [--force]
int RunInit(const GlobalOptions& options, bool demo, bool force, std::ostream& out);

// zetmovebill call METHOD [ARG...] [--toolbar]
struct CallRequest {
  std::string method;
  std::vector<std::string> args;
  bool toolbar = false;
};
int RunCall(const GlobalOptions& options, const CallRequest& request, std::ostream& out, std::ostream& err);

// first TYPE / last TYPE
int RunFirstLast(const GlobalOptions& options, int32_t trans_type, bool last, std::ostream& out, std::ostream& err);
// prev TYPE BILL / next TYPE BILL
int RunStep(const GlobalOptions& options, int32_t trans_type, int32_t bill, bool next, std::ostream& out,
            std::ostream& err);
// check TYPE BILL
int RunCheck(const GlobalOptions& options, int32_t trans_type, int32_t bill, std::ostream& out, std::ostream& err);
// todo
int RunTodo(const GlobalOptions& options, std::ostream& out, std::ostream& err);
// open TYPE BILL
int RunOpen(const GlobalOptions& options, int32_t trans_type, int32_t bill, std::ostream& out, std::ostream& err);
// recent TYPE
int RunRecent(const GlobalOptions& options, int32_t trans_type, std::ostream& out, std::ostream& err);

// Says on `err`, in one line, that a kind has no catalogue row and how it is
// read instead: the method itself answers for it without a word.
void WarnUnknownKind(int32_t trans_type, std::ostream& err);

// The direction code of GetMoveInterID that means previous (or next) for a
// kind: the kinds whose catalogue row lowers the code take 2 and 3, all others
// 1 and 2.
int32_t DirectionCode(int32_t trans_type, bool next);

}  // namespace zet::cli
