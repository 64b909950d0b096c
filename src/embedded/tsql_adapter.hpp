#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/variant.hpp"

namespace zet::embedded {

// The component speaks SQL Server's dialect and keeps doing so; this adapter
// turns one of its texts into statements SQLite runs. It works on tokens,
// never on raw text, so a keyword inside a string literal or a quoted name is
// left alone. It rewrites only what SQLite lacks:
//   SELECT [DISTINCT] TOP n ...      ->  SELECT [DISTINCT] ... LIMIT n
//   ISNULL(a, b)                     ->  ifnull(a, b)   (ISNULL is an operator
//                                        keyword in SQLite's grammar, so no
//                                        function of that name can be called)
//   datediff(day, a, b)              ->  CAST(julianday(date(b)) - julianday(date(a)) AS INTEGER)
//   getdate()                        ->  datetime('now','localtime'), or the
//                                        pinned day at midnight
//   several statements, one a line   ->  separate statements
// CharIndex is not rewritten: the database registers a function of that name.
// Anything outside the subset it knows (table hints, variables, temporary
// tables, functions SQLite does not share with SQL Server ...) is refused with
// an AutomationError(err::kDatabaseError) whose text names the construct.

struct TSqlOptions {
  // "YYYY-MM-DD": getdate() answers that day at midnight, so that tests and
  // demonstrations about due dates do not depend on the clock. Empty: the
  // current local date and time.
  std::string today;
};

enum class TokenKind {
  Space,       // blanks, tabs and line breaks
  Comment,     // -- to the end of the line, or /* ... */
  Word,        // keyword or plain identifier
  QuotedName,  // "name" or [name]
  String,      // 'text', with '' for a quote
  Number,      // 12, 1.5, 2E3, .5, 0x1F
  Variable,    // @name, @@name
  TempName,    // #name, ##name
  Symbol,      // punctuation and operators: ( ) , . = <> <= >= != * ...
};

struct Token {
  TokenKind kind;
  std::string_view text;  // a slice of the tokenized text
};

// The tokens of `sql`, in order, covering every character of it. Raises for
// a string, quoted name or comment that is never closed.
std::vector<Token> Tokenize(std::string_view sql);

// The statements of a batch, each as written (no rewriting), split at ";" and
// at a statement keyword (SELECT, INSERT, UPDATE, DELETE) that begins a new
// statement; the SELECT of INSERT ... SELECT and the branches of a UNION stay
// with their statement. Blank pieces are dropped.
std::vector<std::string> SplitBatch(std::string_view sql);

// One statement rewritten for SQLite; raises for what it does not know.
std::string TranslateStatement(std::string_view statement, const TSqlOptions& options);

// SplitBatch, then TranslateStatement on each piece.
std::vector<std::string> TranslateBatch(std::string_view sql, const TSqlOptions& options);

// A text with the literal values that change from call to call taken out as
// numbered parameters "?1", "?2" ..., so that texts differing only in those
// values share one shape, translated and prepared once. Taken out: a string,
// or a whole number that fits in 32 bits, that is compared with "=", "<>",
// "<", ">", "<=" or ">=" (not after a closing parenthesis, and not in the
// column list of a SELECT, whose names come from the text), the first
// argument of CharIndex, and a value in the row of INSERT ... VALUES.
// Numbers stay Long, strings String (quotes undone), so that binding them
// compares exactly as the literal did. A text that holds a "?" of its own
// is left whole. Raises as Tokenize does.
struct ParameterizedText {
  std::string shape;
  std::vector<Variant> values;  // values[k] binds to ?k+1
};
ParameterizedText Parameterize(std::string_view sql);

}  // namespace zet::embedded
