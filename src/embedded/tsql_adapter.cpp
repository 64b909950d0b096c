#include "embedded/tsql_adapter.hpp"

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "embedded/schema.hpp"
#include "host/error.hpp"
#include "host/text.hpp"

namespace zet::embedded {

namespace {

[[noreturn]] void Unsupported(std::string_view construct) {
  throw AutomationError(err::kDatabaseError,
                        "The embedded database does not support the T-SQL construct " + std::string(construct));
}

[[noreturn]] void Malformed(std::string_view what) {
  throw AutomationError(err::kDatabaseError, "Malformed statement: " + std::string(what));
}

template <size_t N>
bool IsOneOf(std::string_view upper_word, const std::array<std::string_view, N>& words) {
  return std::find(words.begin(), words.end(), upper_word) != words.end();
}

// Words that may stand before "(" without naming a function.
constexpr std::array<std::string_view, 30> kNonFunctionWords = {
    "AND",   "OR",     "NOT",    "IN",   "EXISTS",    "VALUES", "AS",   "ON",     "FROM",    "JOIN",
    "WHERE", "SELECT", "ALL",    "ANY",  "SOME",      "UNION",  "THEN", "ELSE",   "WHEN",    "CASE",
    "IS",    "LIKE",   "EXCEPT", "OVER", "INTERSECT", "SET",    "BY",   "HAVING", "BETWEEN", "DISTINCT"};

// Functions that both dialects have with the same meaning for the arguments
// the suite's statements give them. CharIndex is registered by the database.
constexpr std::array<std::string_view, 17> kSharedFunctions = {
    "COUNT",  "SUM",   "MIN",   "MAX",   "AVG",     "ABS",       "UPPER", "LOWER",    "COALESCE",
    "NULLIF", "ROUND", "LTRIM", "RTRIM", "REPLACE", "SUBSTRING", "CAST",  "CHARINDEX"};

// Words that only SQL Server knows (hints, procedural statements, clauses).
constexpr std::array<std::string_view, 22> kServerOnlyWords = {
    "NOLOCK", "READPAST", "ROWLOCK",  "UPDLOCK", "HOLDLOCK", "TABLOCK", "TABLOCKX", "NOWAIT",
    "APPLY",  "PIVOT",    "UNPIVOT",  "MERGE",   "OUTPUT",   "DECLARE", "EXEC",     "EXECUTE",
    "GO",     "TRAN",     "IDENTITY", "OPTION",  "FOR",      "COLLATE"};

constexpr std::array<std::string_view, 4> kStatementWords = {"SELECT", "INSERT", "UPDATE", "DELETE"};

bool IsWordStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}
bool IsWordChar(char c) {
  return IsWordStart(c) || (c >= '0' && c <= '9') || c == '$';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}
bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsSignificant(const Token& t) {
  return t.kind != TokenKind::Space && t.kind != TokenKind::Comment;
}
bool IsSymbol(const Token& t, std::string_view s) {
  return t.kind == TokenKind::Symbol && t.text == s;
}
bool IsWord(const Token& t, std::string_view upper_word) {
  return t.kind == TokenKind::Word && EqualsIgnoreCase(t.text, upper_word);
}

// Index of the first significant token at or after `i`, or `end`.
size_t NextSignificant(const std::vector<Token>& tokens, size_t i, size_t end) {
  while (i < end && !IsSignificant(tokens[i])) ++i;
  return i;
}

// Index of the ")" that closes the "(" at `open`.
size_t MatchingParen(const std::vector<Token>& tokens, size_t open, size_t end) {
  int depth = 0;
  for (size_t i = open; i < end; ++i) {
    if (IsSymbol(tokens[i], "(")) ++depth;
    if (IsSymbol(tokens[i], ")") && --depth == 0) return i;
  }
  Malformed("a parenthesis is never closed");
}

std::string TextOf(const std::vector<Token>& tokens, size_t begin, size_t end) {
  std::string out;
  for (size_t i = begin; i < end; ++i) out += tokens[i].text;
  return out;
}

// Refuses, before anything is rewritten, the constructs that have no SQLite
// counterpart, so that the error names the construct rather than whatever
// SQLite would stumble over later.
void RefuseServerOnlyConstructs(const std::vector<Token>& tokens) {
  for (size_t i = 0; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    switch (t.kind) {
      case TokenKind::Variable:
        Unsupported("variable " + std::string(t.text));
      case TokenKind::TempName:
        Unsupported("temporary table " + std::string(t.text));
      case TokenKind::Symbol:
        if (t.text == "*=" || t.text == "=*") Unsupported("old-style outer join " + std::string(t.text));
        break;
      case TokenKind::Word: {
        const std::string word = AsciiUpper(t.text);
        if (word == "N" && i + 1 < tokens.size() && tokens[i + 1].kind == TokenKind::String)
          Unsupported("Unicode literal N" + std::string(tokens[i + 1].text));
        if (word == "WITH") {
          const size_t open = NextSignificant(tokens, i + 1, tokens.size());
          if (open < tokens.size() && IsSymbol(tokens[open], "(")) {
            const size_t close = MatchingParen(tokens, open, tokens.size());
            Unsupported("table hint " + TextOf(tokens, i, close + 1));
          }
        }
        if (IsOneOf(word, kServerOnlyWords)) Unsupported(word);
        break;
      }
      default:
        break;
    }
  }
}

class Rewriter {
 public:
  Rewriter(const std::vector<Token>& tokens, const TSqlOptions& options) : tokens_(tokens), options_(options) {}

  // `text` goes after the token at `at`, which the statement as written
  // leaves in place.
  void Append(size_t at, std::string text) {
    append_at_ = at;
    append_ = std::move(text);
  }

  // The tokens [begin, end) rewritten. Every SELECT that takes TOP gets its
  // LIMIT at its own end: the ")" closing the sub-select it stands in, or the
  // end of the range.
  std::string Rewrite(size_t begin, size_t end) {
    struct Limit {
      int depth;
      std::string count;
    };
    std::vector<Limit> limits;
    std::string out;
    size_t after_last_significant = 0;
    int depth = 0;

    auto emit = [&](std::string_view text, bool significant) {
      out += text;
      if (significant) after_last_significant = out.size();
    };
    // The LIMIT goes after the select's last token, before the blanks and
    // line breaks that follow it.
    auto close_limits = [&](int at_depth) {
      while (!limits.empty() && limits.back().depth >= at_depth) {
        const std::string clause = " LIMIT " + limits.back().count;
        out.insert(after_last_significant, clause);
        after_last_significant += clause.size();
        limits.pop_back();
      }
    };

    for (size_t i = begin; i < end; ++i) {
      const Token& t = tokens_[i];
      if (!IsSignificant(t)) {
        emit(t.text, false);
        continue;
      }
      if (IsSymbol(t, "(")) {
        ++depth;
        emit(t.text, true);
        continue;
      }
      if (IsSymbol(t, ")")) {
        close_limits(depth);
        --depth;
        emit(t.text, true);
        continue;
      }
      if (t.kind != TokenKind::Word) {
        emit(t.text, true);
        if (i == append_at_) emit(append_, true);
        continue;
      }

      const std::string word = AsciiUpper(t.text);
      const size_t next = NextSignificant(tokens_, i + 1, end);
      const bool call = next < end && IsSymbol(tokens_[next], "(");

      size_t last = 0;
      if (std::optional<std::string> exists = NotInAsExists(i, begin, end, last)) {
        emit(*exists, true);
        i = last;
        continue;
      }
      if (call && word == "DATEDIFF") {
        if (std::optional<std::string> range = DueDateAsRange(i, next, begin, end, last)) {
          emit(*range, true);
          i = last;
          continue;
        }
      }

      if (word == "SELECT") {
        emit(t.text, true);
        size_t head = next;
        if (head < end && (IsWord(tokens_[head], "DISTINCT") || IsWord(tokens_[head], "ALL"))) {
          for (size_t k = i + 1; k <= head; ++k) emit(tokens_[k].text, IsSignificant(tokens_[k]));
          i = head;
          head = NextSignificant(tokens_, head + 1, end);
        }
        if (head < end && IsWord(tokens_[head], "TOP")) {
          // LIMIT at the end of a compound select would bound all of it,
          // where TOP bounds its own branch.
          if (CompoundBefore(i, begin)) Unsupported("TOP in a SELECT combined by UNION, EXCEPT or INTERSECT");
          for (size_t k = i + 1; k < head; ++k) emit(tokens_[k].text, false);
          size_t after = 0;
          limits.push_back({depth, TopCount(head, end, after)});
          // The blanks after "TOP n" go with it, so that "SELECT TOP 1 1"
          // reads "SELECT 1".
          while (after < end && tokens_[after].kind == TokenKind::Space) ++after;
          i = after - 1;
        }
        continue;
      }
      if (word == "UNION" || word == "EXCEPT" || word == "INTERSECT") {
        if (!limits.empty() && limits.back().depth == depth)
          Unsupported("TOP in a SELECT combined by UNION, EXCEPT or INTERSECT");
      }
      if (word == "TOP") Unsupported("TOP outside the head of a SELECT");

      if (call && word == "ISNULL") {
        emit("ifnull", true);
        continue;
      }
      if (call && word == "GETDATE") {
        const size_t close = NextSignificant(tokens_, next + 1, end);
        if (close >= end || !IsSymbol(tokens_[close], ")")) Unsupported("getdate with arguments");
        emit(Now(), true);
        i = close;
        continue;
      }
      if (call && word == "DATEDIFF") {
        emit(DateDiff(next, end), true);
        i = MatchingParen(tokens_, next, end);
        continue;
      }
      if (call && !IsOneOf(word, kNonFunctionWords) && !IsOneOf(word, kSharedFunctions) && !AfterInto(i, begin)) {
        Unsupported(std::string(t.text) + "()");
      }
      emit(t.text, true);
    }
    close_limits(0);
    return out;
  }

 private:
  // "X NOT IN (S)" where X is a column of the outer query, as a correlated
  // test. SQLite answers NOT IN by building all of S first, which costs the
  // whole entry table however few rows the outer query's own conditions
  // leave (one bill for a min() or TOP, the waiting vouchers of a count);
  // this form seeks S per candidate row instead. Three-valued like NOT IN:
  // unknown when X is NULL and S has rows, or when X matches nothing and S
  // holds a NULL; true for an empty S. Only for the simple shape: X a
  // qualified column whose qualifier S never names (nor any quoted name in
  // S), S one or more plain SELECTs of the same column, plain or qualified
  // and with no alias, joined by UNION [ALL], with no grouping, ordering,
  // row limit or aggregate. nullopt leaves the text as it is.
  std::optional<std::string> NotInAsExists(size_t i, size_t begin, size_t end, size_t& last) {
    const size_t dot = NextSignificant(tokens_, i + 1, end);
    const size_t column = dot < end ? NextSignificant(tokens_, dot + 1, end) : end;
    const size_t not_word = column < end ? NextSignificant(tokens_, column + 1, end) : end;
    const size_t in_word = not_word < end ? NextSignificant(tokens_, not_word + 1, end) : end;
    const size_t open = in_word < end ? NextSignificant(tokens_, in_word + 1, end) : end;
    const size_t select = open < end ? NextSignificant(tokens_, open + 1, end) : end;
    if (select >= end || !IsSymbol(tokens_[dot], ".") || tokens_[column].kind != TokenKind::Word ||
        !IsWord(tokens_[not_word], "NOT") || !IsWord(tokens_[in_word], "IN") || !IsSymbol(tokens_[open], "(") ||
        !IsWord(tokens_[select], "SELECT") || !StartsOperand(i, begin)) {
      return std::nullopt;
    }
    const size_t close = MatchingParen(tokens_, open, end);

    struct Branch {
      size_t select, list_begin, list_end, where, end;
    };
    std::vector<Branch> branches;
    std::string shared_list;
    size_t branch_begin = open + 1;
    for (size_t k = open + 1; k <= close; ++k) {
      if (k < close && IsSymbol(tokens_[k], "(")) {
        const size_t inner = MatchingParen(tokens_, k, close);
        for (size_t n = k; n < inner; ++n) {
          if (MayName(tokens_[n], tokens_[i].text)) return std::nullopt;
        }
        k = inner;
        continue;
      }
      if (k < close && MayName(tokens_[k], tokens_[i].text)) return std::nullopt;
      if (k < close && tokens_[k].kind == TokenKind::Word) {
        const std::string word = AsciiUpper(tokens_[k].text);
        if (word == "EXCEPT" || word == "INTERSECT" || word == "GROUP" || word == "HAVING" || word == "ORDER" ||
            word == "TOP" || word == "LIMIT" || word == "WINDOW")
          return std::nullopt;
        if (word != "UNION") continue;
      } else if (k < close) {
        continue;
      }
      // A branch ends at UNION or at the closing parenthesis.
      Branch b{NextSignificant(tokens_, branch_begin, k), 0, 0, k, k};
      if (b.select >= k || !IsWord(tokens_[b.select], "SELECT")) return std::nullopt;
      b.list_begin = NextSignificant(tokens_, b.select + 1, k);
      if (b.list_begin < k && (IsWord(tokens_[b.list_begin], "DISTINCT") || IsWord(tokens_[b.list_begin], "ALL")))
        b.list_begin = NextSignificant(tokens_, b.list_begin + 1, k);
      b.list_end = b.list_begin;
      while (b.list_end < k && !IsWord(tokens_[b.list_end], "FROM")) {
        const Token& t = tokens_[b.list_end];
        if (IsSymbol(t, ",") || IsSymbol(t, "*") || IsWord(t, "COUNT") || IsWord(t, "SUM") || IsWord(t, "MIN") ||
            IsWord(t, "MAX") || IsWord(t, "AVG") || IsWord(t, "TOTAL"))
          return std::nullopt;
        b.list_end = IsSymbol(t, "(") ? MatchingParen(tokens_, b.list_end, k) + 1 : b.list_end + 1;
      }
      if (b.list_end >= k || b.list_end == b.list_begin) return std::nullopt;
      // The column stands in a comparison as it was written: a plain or
      // qualified name, with no alias after it.
      std::vector<const Token*> column_ref;
      for (size_t n = b.list_begin; n < b.list_end; ++n)
        if (IsSignificant(tokens_[n])) column_ref.push_back(&tokens_[n]);
      const bool plain = column_ref.size() == 1 && column_ref[0]->kind == TokenKind::Word;
      const bool qualified = column_ref.size() == 3 && column_ref[0]->kind == TokenKind::Word &&
                             IsSymbol(*column_ref[1], ".") && column_ref[2]->kind == TokenKind::Word;
      if (!plain && !qualified) return std::nullopt;
      for (size_t n = b.list_end; n < k; ++n) {
        if (IsSymbol(tokens_[n], "(")) n = MatchingParen(tokens_, n, k);
        if (IsWord(tokens_[n], "WHERE")) {
          b.where = n;
          break;
        }
      }
      std::string list;
      for (size_t n = b.list_begin; n < b.list_end; ++n) {
        if (IsSignificant(tokens_[n])) list += AsciiUpper(tokens_[n].text) + " ";
      }
      if (branches.empty()) shared_list = list;
      // Branches of different columns may compare under different
      // affinities; leave those to SQLite.
      if (list != shared_list) return std::nullopt;
      branches.push_back(b);
      if (k < close) {
        const size_t after = NextSignificant(tokens_, k + 1, close);
        k = after < close && IsWord(tokens_[after], "ALL") ? after : k;
      }
      branch_begin = k + 1;
    }

    const std::string x = "(" + TextOf(tokens_, i, column + 1) + ")";
    auto any = [&](const std::string& condition) {
      std::string out;
      for (const Branch& b : branches) {
        if (!out.empty()) out += " OR ";
        out += "EXISTS (" + Rewrite(b.select, b.where) + " WHERE ";
        if (b.where < b.end) out += "(" + Rewrite(b.where + 1, b.end) + ") AND ";
        out += condition + "(" + Rewrite(b.list_begin, b.list_end) + ")" + (condition.empty() ? " IS NULL" : "") + ")";
      }
      return out;
    };
    last = close;
    return "(CASE WHEN " + x + " IS NULL THEN (CASE WHEN EXISTS (" + Rewrite(open + 1, close) +
           ") THEN NULL ELSE 1 END) WHEN " + any(x + " = ") + " THEN 0 WHEN " + any("") + " THEN NULL ELSE 1 END)";
  }

  // Whether `t` may name the outer column's qualifier inside the sub-select
  // (where it would then mean the sub-select's own table): the same word, or
  // any quoted name, which is not worth reading closer.
  static bool MayName(const Token& t, std::string_view qualifier) {
    return t.kind == TokenKind::QuotedName ||
           (t.kind == TokenKind::Word && AsciiUpper(t.text) == AsciiUpper(qualifier));
  }

  // "datediff(day, a, b) <= N" for a number N as "julianday(date(b)) <=
  // julianday(date(a)) + N" (and >= 0): the same answer, NULLs included (both dates at
  // midnight are whole days apart, so the difference needs no truncation),
  // and a range over an index on julianday(date(b)) instead of a test of
  // every row. Only where the comparison stands alone as a condition.
  std::optional<std::string> DueDateAsRange(size_t i, size_t open, size_t begin, size_t end, size_t& last) {
    if (!StartsOperand(i, begin)) return std::nullopt;
    const size_t close = MatchingParen(tokens_, open, end);
    const size_t op = NextSignificant(tokens_, close + 1, end);
    if (op >= end || !IsSymbol(tokens_[op], "<=")) return std::nullopt;
    size_t number = NextSignificant(tokens_, op + 1, end);
    const bool negative = number < end && IsSymbol(tokens_[number], "-");
    if (negative) number = NextSignificant(tokens_, number + 1, end);
    if (number >= end || tokens_[number].kind != TokenKind::Number) return std::nullopt;
    const size_t after = NextSignificant(tokens_, number + 1, end);
    if (after < end && !IsSymbol(tokens_[after], ")") && !IsWord(tokens_[after], "AND") &&
        !IsWord(tokens_[after], "OR") && !IsWord(tokens_[after], "ORDER") && !IsWord(tokens_[after], "GROUP") &&
        !IsWord(tokens_[after], "UNION"))
      return std::nullopt;
    const std::vector<std::pair<size_t, size_t>> args = DateDiffArguments(open, close);
    last = number;
    // Every day has a positive day number, so the lower bound changes no
    // answer; it tells the planner that the range is narrow.
    const std::string day = "julianday(date(" + Rewrite(args[2].first, args[2].second) + "))";
    return "(" + day + " <= julianday(date(" + Rewrite(args[1].first, args[1].second) + ")) + " +
           (negative ? "-" : "") + std::string(tokens_[number].text) + " AND " + day + " >= 0)";
  }

  // Whether the operand at `i` is a whole condition: nothing before it that
  // binds tighter than a comparison.
  bool StartsOperand(size_t i, size_t begin) const {
    size_t k = i;
    while (k > begin && !IsSignificant(tokens_[k - 1])) --k;
    if (k == begin) return false;
    const Token& t = tokens_[k - 1];
    return IsSymbol(t, "(") || IsWord(t, "WHERE") || IsWord(t, "AND") || IsWord(t, "OR") || IsWord(t, "NOT") ||
           IsWord(t, "ON");
  }

  // The row count of "TOP n" or "TOP (n)" at `top`; `after` receives the
  // index of the first token past it.
  std::string TopCount(size_t top, size_t end, size_t& after) const {
    size_t k = NextSignificant(tokens_, top + 1, end);
    std::string count;
    if (k < end && IsSymbol(tokens_[k], "(")) {
      const size_t number = NextSignificant(tokens_, k + 1, end);
      const size_t close = number < end ? NextSignificant(tokens_, number + 1, end) : end;
      if (close >= end || !IsSymbol(tokens_[close], ")") || !IsWholeNumber(tokens_[number]))
        Unsupported("TOP with an expression");
      count = tokens_[number].text;
      after = close + 1;
    } else if (k < end && IsWholeNumber(tokens_[k])) {
      count = tokens_[k].text;
      after = k + 1;
    } else {
      Unsupported("TOP with an expression");
    }
    const size_t following = NextSignificant(tokens_, after, end);
    if (following < end && IsWord(tokens_[following], "PERCENT")) Unsupported("TOP ... PERCENT");
    if (following < end && IsWord(tokens_[following], "WITH")) Unsupported("TOP ... WITH TIES");
    return count;
  }

  static bool IsWholeNumber(const Token& t) {
    return t.kind == TokenKind::Number && std::all_of(t.text.begin(), t.text.end(), IsDigit);
  }

  // Whether the SELECT at `i` is a later branch of a compound select.
  bool CompoundBefore(size_t i, size_t begin) const {
    int depth = 0;
    for (size_t k = i; k > begin;) {
      --k;
      if (IsSymbol(tokens_[k], ")")) ++depth;
      if (IsSymbol(tokens_[k], "(") && --depth < 0) return false;
      if (depth == 0 &&
          (IsWord(tokens_[k], "UNION") || IsWord(tokens_[k], "EXCEPT") || IsWord(tokens_[k], "INTERSECT")))
        return true;
    }
    return false;
  }

  // The column list of INSERT INTO name(...) is no function call.
  bool AfterInto(size_t i, size_t begin) const {
    size_t k = i;
    while (k > begin) {
      --k;
      if (IsSignificant(tokens_[k])) return IsWord(tokens_[k], "INTO");
    }
    return false;
  }

  // The three arguments of datediff(...) at `open`, blanks trimmed; raises
  // for any unit but days.
  std::vector<std::pair<size_t, size_t>> DateDiffArguments(size_t open, size_t close) const {
    std::vector<std::pair<size_t, size_t>> args;
    size_t start = open + 1;
    int depth = 0;
    for (size_t k = open + 1; k < close; ++k) {
      if (IsSymbol(tokens_[k], "(")) ++depth;
      if (IsSymbol(tokens_[k], ")")) --depth;
      if (depth == 0 && IsSymbol(tokens_[k], ",")) {
        args.emplace_back(start, k);
        start = k + 1;
      }
    }
    args.emplace_back(start, close);
    if (args.size() != 3) Unsupported("datediff without three arguments");
    for (auto& [b, e] : args) {
      b = NextSignificant(tokens_, b, e);
      while (e > b && !IsSignificant(tokens_[e - 1])) --e;
      if (b == e) Unsupported("datediff with an empty argument");
    }
    const std::string unit = AsciiUpper(TextOf(tokens_, args[0].first, args[0].second));
    if (unit != "DAY" && unit != "DD" && unit != "D") Unsupported("datediff(" + unit + ", ...)");
    return args;
  }

  // SQL Server counts the day boundaries between the two dates: the
  // difference of their dates, whatever the times of day.
  std::string DateDiff(size_t open, size_t end) {
    const size_t close = MatchingParen(tokens_, open, end);
    const auto args = DateDiffArguments(open, close);
    return "CAST(julianday(date(" + Rewrite(args[2].first, args[2].second) + ")) - julianday(date(" +
           Rewrite(args[1].first, args[1].second) + ")) AS INTEGER)";
  }

  std::string Now() const {
    if (options_.today.empty()) return "datetime('now','localtime')";
    const std::string& d = options_.today;
    const bool well_formed = d.size() == 10 && d[4] == '-' && d[7] == '-' &&
                             std::all_of(d.begin(), d.begin() + 4, IsDigit) && IsDigit(d[5]) && IsDigit(d[6]) &&
                             IsDigit(d[8]) && IsDigit(d[9]);
    if (!well_formed) throw AutomationError(err::kDatabaseError, "The pinned day is not a YYYY-MM-DD date: " + d);
    return "datetime('" + d + "')";
  }

  const std::vector<Token>& tokens_;
  const TSqlOptions& options_;
  size_t append_at_ = SIZE_MAX;
  std::string append_;
};

}  // namespace

std::vector<Token> Tokenize(std::string_view sql) {
  std::vector<Token> tokens;
  size_t i = 0;
  const size_t n = sql.size();
  auto push = [&](TokenKind kind, size_t start) { tokens.push_back(Token{kind, sql.substr(start, i - start)}); };

  while (i < n) {
    const size_t start = i;
    const char c = sql[i];
    if (IsSpace(c)) {
      while (i < n && IsSpace(sql[i])) ++i;
      push(TokenKind::Space, start);
    } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      while (i < n && sql[i] != '\n') ++i;
      push(TokenKind::Comment, start);
    } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      const size_t close = sql.find("*/", i + 2);
      if (close == std::string_view::npos) Malformed("a comment is never closed");
      i = close + 2;
      push(TokenKind::Comment, start);
    } else if (c == '\'' || c == '"' || c == '[') {
      // A quote inside is written twice ('' or "" or ]]).
      const char closing = c == '[' ? ']' : c;
      ++i;
      for (;;) {
        if (i >= n) Malformed(c == '\'' ? "a string is never closed" : "a quoted name is never closed");
        if (sql[i] == closing) {
          if (i + 1 < n && sql[i + 1] == closing) {
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        ++i;
      }
      push(c == '\'' ? TokenKind::String : TokenKind::QuotedName, start);
    } else if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(sql[i + 1]))) {
      if (c == '0' && i + 1 < n && (sql[i + 1] == 'x' || sql[i + 1] == 'X')) {
        i += 2;
        while (i < n && IsHexDigit(sql[i])) ++i;
      } else {
        while (i < n && IsDigit(sql[i])) ++i;
        if (i < n && sql[i] == '.') {
          ++i;
          while (i < n && IsDigit(sql[i])) ++i;
        }
        if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
          size_t k = i + 1;
          if (k < n && (sql[k] == '+' || sql[k] == '-')) ++k;
          if (k < n && IsDigit(sql[k])) {
            i = k;
            while (i < n && IsDigit(sql[i])) ++i;
          }
        }
      }
      push(TokenKind::Number, start);
    } else if (IsWordStart(c)) {
      while (i < n && IsWordChar(sql[i])) ++i;
      push(TokenKind::Word, start);
    } else if (c == '@' || c == '#') {
      while (i < n && (sql[i] == c)) ++i;
      while (i < n && IsWordChar(sql[i])) ++i;
      push(c == '@' ? TokenKind::Variable : TokenKind::TempName, start);
    } else {
      static constexpr std::array<std::string_view, 11> kPairs = {"<=", ">=", "<>", "!=", "!<", "!>",
                                                                  "||", "*=", "=*", "::", "+="};
      const std::string_view rest = sql.substr(i);
      const auto pair =
          std::find_if(kPairs.begin(), kPairs.end(), [&](std::string_view p) { return rest.starts_with(p); });
      i += pair != kPairs.end() ? 2 : 1;
      push(TokenKind::Symbol, start);
    }
  }
  return tokens;
}

std::vector<std::string> SplitBatch(std::string_view sql) {
  const std::vector<Token> tokens = Tokenize(sql);
  std::vector<std::string> statements;
  auto offset = [&](size_t token) { return static_cast<size_t>(tokens[token].text.data() - sql.data()); };
  size_t piece_begin = 0;   // character offset where the current piece starts
  size_t first_unused = 0;  // the first token not yet in a piece
  auto cut_at = [&](size_t piece_end) {
    bool blank = true;
    for (; first_unused < tokens.size() && offset(first_unused) < piece_end; ++first_unused)
      blank = blank && !IsSignificant(tokens[first_unused]);
    if (!blank) statements.emplace_back(sql.substr(piece_begin, piece_end - piece_begin));
    piece_begin = piece_end;
  };
  // A statement that begins a line takes the line break before it along
  // with the statement it ends; its own indentation stays with it.
  auto cut_before = [&](size_t token) {
    size_t at = offset(token);
    if (token > 0 && tokens[token - 1].kind == TokenKind::Space) {
      const std::string_view space = tokens[token - 1].text;
      const size_t line_break = space.rfind('\n');
      if (line_break != std::string_view::npos) at = offset(token - 1) + line_break + 1;
    }
    cut_at(at);
  };

  int depth = 0;
  std::string verb;                // the statement keyword of the current piece
  bool insert_has_source = false;  // INSERT has met its VALUES or SELECT
  std::string previous;            // the previous significant word, upper-cased
  for (size_t i = 0; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (!IsSignificant(t)) continue;
    if (IsSymbol(t, "(")) ++depth;
    if (IsSymbol(t, ")")) --depth;
    if (IsSymbol(t, ";") && depth == 0) {
      cut_at(offset(i));
      piece_begin = offset(i) + 1;
      first_unused = i + 1;
      verb.clear();
      previous.clear();
      continue;
    }
    const std::string word = t.kind == TokenKind::Word ? AsciiUpper(t.text) : std::string();
    if (depth == 0 && IsOneOf(word, kStatementWords)) {
      bool starts_statement = !verb.empty();
      if (word == "SELECT" && !verb.empty()) {
        if (previous == "UNION" || previous == "ALL" || previous == "EXCEPT" || previous == "INTERSECT") {
          starts_statement = false;
        } else if (verb == "INSERT" && !insert_has_source) {
          starts_statement = false;
          insert_has_source = true;
        }
      }
      if (starts_statement) {
        cut_before(i);
        verb.clear();
      }
      if (verb.empty()) {
        verb = word;
        insert_has_source = false;
      }
    }
    if (depth == 0 && word == "VALUES" && verb == "INSERT") insert_has_source = true;
    previous = word;
  }
  cut_at(sql.size());
  return statements;
}

namespace {

// A due list of invoices or other bills: the statement counts, among bills
// of one table `v1` joined to their settled sums `vrp`, those that meet
// `open`. Every bill that meets it is in t_ZetOpenBill (the schema's
// triggers keep it so, and verify checks it), so where `open` is one of the
// conditions that all must hold, adding "the bill is in t_ZetOpenBill"
// changes no answer; SQLite then reads the few open bills by their key
// instead of every bill dated up to the alarm day.
struct OpenBillShape {
  std::string_view table, join, open, key, type;
};
// clang-format off
constexpr OpenBillShape kOpenBillShapes[] = {
    {"ICPurchase", "left join vw_BillRPMoney vrp on v1.FInterID=vrp.FInterID AND vrp.FTranType=75",
     "v1.FROB*(vrp.FRPAmountFor-v1.FPurchaseAmountFor)<0", "v1.FInterID", "75"},
    {"ICSale", "left join vw_BillRPMoney vrp on v1.FInterID=vrp.FInterID AND vrp.FTranType=80",
     "v1.FROB*(vrp.FRPAmountFor-v1.FInvoiceAmountFor)<0", "v1.FInterID", "80"},
    {"t_RP_ROtherBill", "left join vw_BillRPMoney vrp on v1.FBillID=vrp.FInterID AND vrp.FTranType=1000205",
     "ISNULL(vrp.FRPAmountFor,0)-v1.FAmountFor<0", "v1.FBillID", "1000205"},
    {"t_RP_POtherBill", "left join vw_BillRPMoney vrp on v1.FBillID=vrp.FInterID AND vrp.FTranType=1000206",
     "ISNULL(vrp.FRPAmountFor,0)-v1.FAmountFor<0", "v1.FBillID", "1000206"},
};
// clang-format on

bool SameToken(const Token& a, const Token& b) {
  return a.kind == b.kind && (a.kind == TokenKind::Word ? EqualsIgnoreCase(a.text, b.text) : a.text == b.text);
}

// The tokens of a pattern, blanks left out; the pattern outlives them.
std::vector<Token> SignificantTokens(std::string_view pattern) {
  std::vector<Token> significant;
  for (const Token& t : Tokenize(pattern))
    if (IsSignificant(t)) significant.push_back(t);
  return significant;
}

struct Appendix {
  size_t after;
  std::string text;
};

// The condition to add to a due list of open bills, and the token it goes
// after; nullopt for any other statement. Only where the WHERE clause is a
// plain chain of AND at its top level (no OR, CASE or BETWEEN, nothing after
// it but its conditions), the bill table is `v1` and the settled sums `vrp`
// exactly as the due list joins them, no other table of the FROM clause
// takes either name, and `open` stands alone between two of those ANDs.
std::optional<Appendix> OpenBillAppendix(const std::vector<Token>& tokens) {
  std::vector<size_t> at;  // the significant tokens, and the depth of each
  std::vector<int> depth;
  int d = 0;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (!IsSignificant(tokens[i])) continue;
    if (IsSymbol(tokens[i], ")")) --d;
    at.push_back(i);
    depth.push_back(d);
    if (IsSymbol(tokens[i], "(")) ++d;
  }
  const auto top_word = [&](size_t k, std::string_view word) { return depth[k] == 0 && IsWord(tokens[at[k]], word); };
  if (at.empty() || !IsWord(tokens[at[0]], "SELECT")) return std::nullopt;
  size_t from = 0, where = 0;
  for (size_t k = 0; k < at.size() && where == 0; ++k) {
    if (from == 0 && top_word(k, "FROM")) from = k;
    if (from != 0 && top_word(k, "WHERE")) where = k;
  }
  if (where == 0 || where < from + 3) return std::nullopt;
  for (size_t k = where + 1; k < at.size(); ++k) {
    if (depth[k] != 0) continue;
    for (const std::string_view word :
         {"OR", "CASE", "BETWEEN", "GROUP", "HAVING", "ORDER", "LIMIT", "UNION", "EXCEPT", "INTERSECT", "WINDOW"})
      if (IsWord(tokens[at[k]], word)) return std::nullopt;
    if (IsSymbol(tokens[at[k]], ";")) return std::nullopt;
  }
  // Where `pattern` stands among the significant tokens [first, last) at the
  // top level, once only; 0 for nowhere or more than once.
  const auto find = [&](const std::vector<Token>& wanted, size_t first, size_t last) {
    size_t found = 0;
    for (size_t k = first; k + wanted.size() <= last; ++k) {
      if (depth[k] != 0) continue;
      size_t n = 0;
      while (n < wanted.size() && SameToken(tokens[at[k + n]], wanted[n])) ++n;
      if (n == wanted.size()) {
        if (found != 0) return size_t{0};
        found = k;
      }
    }
    return found;
  };
  for (const OpenBillShape& shape : kOpenBillShapes) {
    if (!IsWord(tokens[at[from + 1]], shape.table) || !IsWord(tokens[at[from + 2]], "v1")) continue;
    const size_t join = find(SignificantTokens(shape.join), from + 3, where);
    if (join == 0) continue;
    // A further condition of the join could leave `vrp` empty for a bill
    // that has settled sums.
    const size_t after_join = join + SignificantTokens(shape.join).size();
    if (after_join != where && !IsWord(tokens[at[after_join]], "LEFT") && !IsWord(tokens[at[after_join]], "INNER") &&
        !IsWord(tokens[at[after_join]], "JOIN"))
      continue;
    const size_t vrp = join + 3;
    bool plain = true;
    for (size_t k = from + 3; k < where && plain; ++k) {
      if (depth[k] != 0) continue;
      const Token& t = tokens[at[k]];
      const bool named = k + 1 < where && IsSymbol(tokens[at[k + 1]], ".");
      plain = !IsSymbol(t, ",") && !IsWord(t, "RIGHT") && !IsWord(t, "FULL") && !IsWord(t, "NATURAL") &&
              !IsWord(t, "USING") && (k == vrp || named || (!IsWord(t, "v1") && !IsWord(t, "vrp")));
    }
    if (!plain) continue;
    const std::vector<Token> condition = SignificantTokens(shape.open);
    const size_t open = find(condition, where + 1, at.size());
    if (open == 0) continue;
    const size_t end = open + condition.size() - 1;
    if (!IsWord(tokens[at[open - 1]], "AND")) continue;
    if (end + 1 < at.size() && !IsWord(tokens[at[end + 1]], "AND")) continue;
    return Appendix{at[end], " AND " + std::string(shape.key) + " IN (SELECT FInterID FROM t_ZetOpenBill WHERE " +
                                 "FTranType=" + std::string(shape.type) + ")"};
  }
  return std::nullopt;
}

// The first, last, previous or next bill that a right on customers,
// suppliers or accounts lets through: "SELECT ISNULL(MIN|MAX(v1.<key>), d)
// [AS a] FROM <bill table> v1 ... LEFT JOIN <base table> tN ON
// v1.<item>=tN.<base key> ... WHERE <w>", <w> a chain of AND holding
// conditions on tN alone. As written, SQLite walks the bills in key order
// and tests each, so a user who sees few bills or none pays for every bill
// in between. The answer is found in stages, each exact where it gives one:
//   - the statement over the first n bills of its walk (16, then up to 64,
//     then up to 256, each probe taking the bills after the one before), as
//     the conditions on v1 alone order them: a bill found there is the
//     answer, since every later one lies past it; when there are fewer than
//     n such bills the probe saw them all, and finding none is the answer;
//   - else the distinct items of the bill table, walked through an index on
//     the item one seek each, and for each item whose base row (or none, as
//     the join leaves it) passes the conditions on tN, and for no item, the
//     last (first) bill holding it under the conditions on v1: another seek.
//     Every bill the statement lets through holds such an item or none, so
//     the answer lies at or before the best of these, and the statement
//     walks from there.
// The statement and its joins are repeated whole in each stage (the joins
// may repeat rows; min and max do not mind) with one more bound on the key,
// so each stage keeps the statement's meaning: CharIndex, NULLs, NOT IN.
// Only for the pairs of ItemColumns(), whose item columns the schema indexes
// and whose base keys are integer primary keys (so that an item value
// compares with them as the bill's column does). A file that an older build made and this
// one only reads may lack the index: the items are walked only where it is
// there, since without it each step of that walk would read the whole table.
constexpr int kProbeBills[] = {16, 64, 256};

std::optional<std::string> ItemSkipScan(const std::vector<Token>& tokens, Rewriter& rewriter) {
  std::vector<size_t> at;  // the significant tokens, and the depth of each
  std::vector<int> depth;
  int d = 0;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i].kind == TokenKind::Comment) return std::nullopt;
    if (!IsSignificant(tokens[i])) continue;
    if (IsSymbol(tokens[i], ")")) --d;
    at.push_back(i);
    depth.push_back(d);
    if (IsSymbol(tokens[i], "(")) ++d;
  }
  const size_t n = at.size();
  const auto word = [&](size_t k, std::string_view w) { return k < n && IsWord(tokens[at[k]], w); };
  const auto symbol = [&](size_t k, std::string_view s) { return k < n && IsSymbol(tokens[at[k]], s); };
  const auto text = [&](size_t k) { return k < n ? tokens[at[k]].text : std::string_view(); };
  // SELECT ISNULL ( MIN|MAX ( v1 . key ) , default ) [[AS] alias] FROM
  if (n < 12 || !word(0, "SELECT") || !(word(1, "ISNULL") || word(1, "IFNULL")) || !symbol(2, "(") ||
      !(word(3, "MIN") || word(3, "MAX")) || !symbol(4, "(") || !word(5, "v1") || !symbol(6, ".") || !symbol(8, ")") ||
      !symbol(9, ","))
    return std::nullopt;
  const bool max = word(3, "MAX");
  size_t close = 10;
  while (close < n && depth[close] != 0) ++close;
  if (close >= n || close == 10 || !symbol(close, ")")) return std::nullopt;
  size_t from = close + 1;
  size_t alias = n;
  if (word(from, "AS")) ++from;
  if (from < n && !word(from, "FROM") &&
      (tokens[at[from]].kind == TokenKind::Word || tokens[at[from]].kind == TokenKind::QuotedName)) {
    alias = from++;
  }
  if (!word(from, "FROM") || !word(from + 2, "v1")) return std::nullopt;
  size_t where = from + 3;
  while (where < n && !(depth[where] == 0 && word(where, "WHERE"))) ++where;
  if (where + 1 >= n) return std::nullopt;

  // The WHERE clause: conditions joined by AND at its top level, nothing
  // after them.
  std::vector<std::pair<size_t, size_t>> terms;
  size_t term = where + 1;
  for (size_t k = where + 1; k <= n; ++k) {
    if (k < n && depth[k] != 0) continue;
    if (k < n) {
      for (const std::string_view w :
           {"OR", "CASE", "BETWEEN", "GROUP", "HAVING", "ORDER", "LIMIT", "UNION", "EXCEPT", "INTERSECT", "WINDOW"})
        if (word(k, w)) return std::nullopt;
      if (symbol(k, ";")) return std::nullopt;
      if (!word(k, "AND")) continue;
    }
    if (k == term) return std::nullopt;
    terms.emplace_back(term, k);
    term = k + 1;
  }

  // Whether the condition [b, e) reads only columns of `qualifier` (and,
  // with `kind_too`, the bare kind column of the bill table), through none
  // but the functions both dialects share.
  const auto reads_only = [&](size_t b, size_t e, std::string_view qualifier, bool kind_too) {
    bool reads = false;
    for (size_t k = b; k < e; ++k) {
      if (tokens[at[k]].kind == TokenKind::QuotedName) return false;
      if (tokens[at[k]].kind != TokenKind::Word) continue;
      if (word(k, qualifier) && symbol(k + 1, ".") && k + 2 < e && tokens[at[k + 2]].kind == TokenKind::Word) {
        reads = true;
        k += 2;
        continue;
      }
      if (kind_too && word(k, "FTranType") && !symbol(k + 1, ".") && !symbol(k + 1, "(")) continue;
      if (symbol(k + 1, "(") && (word(k, "ISNULL") || word(k, "IFNULL") || word(k, "CHARINDEX"))) continue;
      if (word(k, "NOT") || word(k, "IS") || word(k, "NULL") || (word(k, "IN") && symbol(k + 1, "(")) ||
          ((word(k, "AND") || word(k, "OR")) && depth[k] > 0))
        continue;
      return false;
    }
    return reads || kind_too;
  };

  // The joins: plain and LEFT joins only, each alias named once; the base
  // table joined on the item column alone.
  const ItemColumn* pair = nullptr;
  size_t join = 0;
  std::vector<std::pair<size_t, size_t>> item_terms;
  for (size_t k = from + 3; k < where; ++k) {
    if (depth[k] != 0) continue;
    if (symbol(k, ",") || word(k, "RIGHT") || word(k, "FULL") || word(k, "NATURAL") || word(k, "USING") ||
        word(k, "CROSS") || (word(k, "v1") && !symbol(k + 1, ".")))
      return std::nullopt;
    // LEFT JOIN base tN ON v1 . item = tN . base_key, then the next join or WHERE
    if (pair != nullptr || !word(k, "LEFT") || !word(k + 1, "JOIN") || !word(k + 4, "ON") || !word(k + 5, "v1") ||
        !symbol(k + 6, ".") || !symbol(k + 8, "=") || !symbol(k + 10, ".") || text(k + 3) != text(k + 9) ||
        !(k + 12 == where || word(k + 12, "LEFT") || word(k + 12, "JOIN") || word(k + 12, "INNER")))
      continue;
    for (const ItemColumn& c : ItemColumns()) {
      if (!IsWord(tokens[at[from + 1]], c.table) || !word(7, c.key) || !word(k + 2, c.base) || !word(k + 7, c.item) ||
          !word(k + 11, c.base_key))
        continue;
      std::vector<std::pair<size_t, size_t>> found;
      for (const auto& [b, e] : terms)
        if (reads_only(b, e, text(k + 3), false)) found.emplace_back(b, e);
      if (found.empty()) continue;
      pair = &c;
      join = k;
      item_terms = std::move(found);
      break;
    }
  }
  if (pair == nullptr) return std::nullopt;
  // The base table's alias is named once in the FROM clause.
  for (size_t k = from + 3; k < where; ++k)
    if (k != join + 3 && word(k, text(join + 3)) && !symbol(k + 1, ".")) return std::nullopt;

  const auto range = [&](size_t b, size_t e) { return rewriter.Rewrite(at[b], at[e - 1] + 1); };
  const std::string agg = max ? "max" : "min";
  const std::string key = "v1." + std::string(text(7));
  const std::string bills = std::string(text(from + 1)) + " v1";
  // A LEFT join whose alias the statement reads nowhere but in its own ON
  // clause only repeats a bill's row or adds nothing to it, which min and
  // max do not see: the stages leave it out (the entry lines of a stock
  // bill, say, would double every step of a walk).
  std::string sources = range(from + 1, from + 3);
  for (size_t start = from + 3; start < where;) {
    size_t end = start + 1;
    while (end < where && !(depth[end] == 0 && (word(end, "LEFT") || word(end, "INNER") ||
                                                (word(end, "JOIN") && !word(end - 1, "LEFT") &&
                                                 !word(end - 1, "INNER") && !word(end - 1, "OUTER")))))
      ++end;
    size_t on = start;
    while (on < end && !(depth[on] == 0 && word(on, "ON"))) ++on;
    bool needed = !word(start, "LEFT") || on == end || tokens[at[on - 1]].kind != TokenKind::Word;
    for (size_t k = 0; k < n && !needed; ++k) needed = (k < start || k >= end) && IsWord(tokens[at[k]], text(on - 1));
    if (needed) sources += " " + range(start, end);
    start = end;
  }
  const std::string conditions = "(" + range(where + 1, n) + ")";
  // The added bound goes first: of two bounds on the key in the same
  // direction, SQLite starts its walk at the first.
  const auto statement = [&](const std::string& also) {
    return "SELECT " + agg + "(" + key + ") FROM " + sources + " WHERE " + also + " AND " + conditions;
  };
  std::string walked;  // the conditions on v1 alone, which the walk follows
  for (const auto& [b, e] : terms)
    if (reads_only(b, e, "v1", true)) walked += (walked.empty() ? " WHERE (" : " AND (") + range(b, e) + ")";

  std::string stages;
  // A later probe starts where the one before it ended, which came to an
  // end only when it found nothing and there were more bills (so its bound
  // is not NULL): the bills it tried are not tried again.
  std::string tried;
  for (const int probe : kProbeBills) {
    const std::string bound = "(SELECT " + key + " FROM " + bills + walked + " ORDER BY " + key + (max ? " DESC" : "") +
                              " LIMIT 1 OFFSET " + std::to_string(probe - 1) + ")";
    stages += "(" +
              statement(key + (max ? " >= ifnull(" : " <= ifnull(") + bound + (max ? ", -1e19)" : ", 1e19)") + tried) +
              "), (SELECT 'none' WHERE " + bound + " IS NULL), ";
    tried = " AND " + key + (max ? " < " : " > ") + bound;
  }
  // The last bill of each item the right may let through (the first, going
  // forward), the bills with no item first: the answer lies at or before the
  // best of them, and the statement walks from there.
  const std::string item = "v1." + std::string(pair->item);
  std::string visible;
  for (const auto& [b, e] : item_terms) visible += " AND (" + range(b, e) + ")";
  const auto last_of = [&](const std::string& which) {
    return "(SELECT " + agg + "(" + key + ") FROM " + bills + (walked.empty() ? " WHERE " : walked + " AND ") + item +
           which + ")";
  };
  const std::string best =
      "(WITH RECURSIVE zet_item(v, n) AS (SELECT NULL, 0 UNION ALL SELECT CASE WHEN n = 0 THEN (SELECT min(" + item +
      ") FROM " + bills + ") ELSE (SELECT min(" + item + ") FROM " + bills + " WHERE " + item +
      " > zet_item.v) END, n + 1 FROM zet_item WHERE n = 0 OR v IS NOT NULL) SELECT " + agg + "(CASE WHEN n = 0 THEN " +
      last_of(" IS NULL") + " ELSE " + last_of(" = zet_item.v") + " END) FROM zet_item LEFT JOIN " +
      range(join + 2, join + 4) + " ON zet_item.v = " + std::string(text(join + 3)) + "." +
      std::string(pair->base_key) + " WHERE (n = 0 OR v IS NOT NULL)" + visible + ")";
  stages += "(" +
            statement(key + (max ? " <= " : " >= ") + "(SELECT CASE WHEN EXISTS (SELECT 1 FROM pragma_index_info('" +
                      std::string(pair->index) + "') WHERE seqno = 0 AND name = '" + std::string(pair->item) +
                      "') THEN " + best + (max ? " ELSE 1e19 END)" : " ELSE -1e19 END)")) +
            ")";

  std::string name;
  if (alias < n) {
    name = range(alias, alias + 1);
  } else {
    // Unnamed, the column is called by its expression's text, as written.
    name = "\"";
    for (const char c : range(1, close + 1)) name += c == '"' ? std::string("\"\"") : std::string(1, c);
    name += "\"";
  }
  std::string out = TextOf(tokens, 0, at[0]);
  out += "SELECT ifnull(nullif(coalesce(" + stages + "), 'none'), " + range(10, close) + ") AS " + name;
  return out;
}

}  // namespace

std::string TranslateStatement(std::string_view statement, const TSqlOptions& options) {
  const std::vector<Token> tokens = Tokenize(statement);
  const size_t head = NextSignificant(tokens, 0, tokens.size());
  if (head == tokens.size()) Malformed("there is no statement");
  if (tokens[head].kind != TokenKind::Word || !IsOneOf(AsciiUpper(tokens[head].text), kStatementWords))
    Unsupported("statement " + std::string(tokens[head].text));
  RefuseServerOnlyConstructs(tokens);
  Rewriter rewriter(tokens, options);
  if (std::optional<Appendix> appendix = OpenBillAppendix(tokens)) rewriter.Append(appendix->after, appendix->text);
  if (std::optional<std::string> staged = ItemSkipScan(tokens, rewriter)) return *staged;
  return rewriter.Rewrite(0, tokens.size());
}

std::vector<std::string> TranslateBatch(std::string_view sql, const TSqlOptions& options) {
  std::vector<std::string> statements = SplitBatch(sql);
  for (std::string& statement : statements) statement = TranslateStatement(statement, options);
  return statements;
}

ParameterizedText Parameterize(std::string_view sql) {
  const std::vector<Token> tokens = Tokenize(sql);
  ParameterizedText out;
  // A text with parameters of its own keeps its literals: a shape made from
  // it could not be told from one made from another text. So does a due list
  // of open bills, whose added condition holds for its own literals only.
  if (std::any_of(tokens.begin(), tokens.end(), [](const Token& t) { return IsSymbol(t, "?"); }) ||
      OpenBillAppendix(tokens)) {
    out.shape = sql;
    return out;
  }
  out.shape.reserve(sql.size());
  int depth = 0;
  bool in_select_list = false;
  int values_depth = -1;  // the depth of an INSERT's VALUES row, when in one
  size_t previous = tokens.size();
  size_t before_previous = tokens.size();
  for (size_t i = 0; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    std::optional<Variant> value;
    if (IsSymbol(t, "(")) ++depth;
    if (IsSymbol(t, ")")) --depth;
    if (t.kind == TokenKind::Word && depth == 0) {
      if (IsWord(t, "SELECT")) in_select_list = true;
      if (IsWord(t, "FROM")) in_select_list = false;
      if (IsWord(t, "VALUES")) values_depth = 1;
      if (IsOneOf(AsciiUpper(t.text), kStatementWords) && !IsWord(t, "SELECT")) {
        values_depth = -1;
        in_select_list = false;
      }
    }
    const bool literal = t.kind == TokenKind::String || (t.kind == TokenKind::Number && t.text.size() <= 10 &&
                                                         std::all_of(t.text.begin(), t.text.end(), IsDigit) &&
                                                         std::stoll(std::string(t.text)) <= INT32_MAX);
    if (literal && previous < tokens.size()) {
      const Token& p = tokens[previous];
      const bool compared = p.kind == TokenKind::Symbol &&
                            (p.text == "=" || p.text == "<>" || p.text == "!=" || p.text == "<" || p.text == ">" ||
                             p.text == "<=" || p.text == ">=") &&
                            !(before_previous < tokens.size() && IsSymbol(tokens[before_previous], ")"));
      const bool needle = IsSymbol(p, "(") && before_previous < tokens.size() &&
                          IsWord(tokens[before_previous], "CHARINDEX") && t.kind == TokenKind::String;
      const bool in_row = depth == values_depth && (IsSymbol(p, "(") || IsSymbol(p, ","));
      if ((compared || needle) && !in_select_list) {
        value = Variant();
      } else if (in_row) {
        value = Variant();
      }
    }
    if (value) {
      if (t.kind == TokenKind::String) {
        std::string text;
        for (size_t k = 1; k + 1 < t.text.size(); ++k) {
          text += t.text[k];
          if (t.text[k] == '\'' && t.text[k + 1] == '\'') ++k;
        }
        out.values.push_back(Variant::String(std::move(text)));
      } else {
        out.values.push_back(Variant::Long(static_cast<int32_t>(std::stoll(std::string(t.text)))));
      }
      out.shape += "?" + std::to_string(out.values.size());
    } else {
      out.shape += t.text;
    }
    if (IsSignificant(t)) {
      before_previous = previous;
      previous = i;
    }
  }
  return out;
}

}  // namespace zet::embedded
