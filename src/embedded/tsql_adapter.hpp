#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/variant.hpp"

namespace zet::embedded {

// The component speaks SQL Server's dialect and keeps doing so; this adapter
// turns one of its texts into statements SQLite runs. It works on tokens,
// never on raw text, so a keyword inside a string literal or a quoted name is
// left alone. It rewrites what SQLite lacks, and four shapes that SQLite runs
// slowly (the day range, NOT IN, the due lists of open bills, navigation
// under a base-data right):
//
//   several statements in one text   ->  separate statements, split at ";"
//                                        and at a statement keyword that
//                                        begins a new one (see SplitBatch)
//   SELECT [DISTINCT|ALL] TOP n ...  ->  SELECT [DISTINCT|ALL] ... LIMIT n, also
//   SELECT TOP (n) ...                   in a sub-select, whose LIMIT goes before
//                                        its closing ")"; refused in a branch of
//                                        UNION/EXCEPT/INTERSECT, with PERCENT or
//                                        WITH TIES, or with an expression for n
//   ISNULL(a, b)                     ->  ifnull(a, b)   (ISNULL is an operator
//                                        keyword in SQLite's grammar, so no
//                                        function of that name can be called)
//   getdate()                        ->  datetime('now','localtime'), or the
//                                        pinned day at midnight,
//                                        datetime('YYYY-MM-DD'); refused with
//                                        arguments
//   datediff(day, a, b)              ->  CAST(julianday(date(b)) -
//                                        julianday(date(a)) AS INTEGER)
//                                        (units day, dd, d; any other refused)
//   datediff(day, a, b) <= N         ->  (julianday(date(b)) <= julianday(date(a))
//                                        + N AND julianday(date(b)) >= 0)
//                                        for a number N (or -N), when the comparison
//                                        is a whole condition (after WHERE,
//                                        AND, OR, NOT, ON or "(", and followed
//                                        by the end, ")", AND, OR, ORDER, GROUP
//                                        or UNION): the same answer, NULLs
//                                        included, as a range an index on
//                                        julianday(date(b)) can seek
//   q.c NOT IN (SELECT c FROM ...    ->  a correlated test, three-valued as
//               [UNION [ALL] ...])       NOT IN is: (CASE WHEN (q.c) IS NULL
//                                        THEN (CASE WHEN EXISTS (S) THEN NULL
//                                        ELSE 1 END) WHEN EXISTS (... WHERE
//                                        (w) AND (q.c) = (c)) [OR ...] THEN 0
//                                        WHEN EXISTS (... WHERE (w) AND (c) IS
//                                        NULL) [OR ...] THEN NULL ELSE 1 END),
//                                        so that SQLite seeks the sub-select
//                                        per outer row instead of building all
//                                        of it first
//
// NOT IN is left as written unless every part of that shape holds: q.c a
// qualified column standing as a whole condition; the sub-select naming
// neither q (which there would mean its own table) nor any quoted name; each
// branch a plain SELECT [DISTINCT|ALL] of one column, plain or qualified,
// with no alias, expression, "*" or aggregate (count, sum, min, max, avg,
// total), the same column text in every branch; branches joined by UNION or
// UNION ALL only, with no EXCEPT, INTERSECT, GROUP BY, HAVING, ORDER BY, TOP,
// LIMIT or WINDOW.
//
// A due list of invoices or other bills (a count over ICPurchase, ICSale,
// t_RP_ROtherBill or t_RP_POtherBill as `v1`, their settled sums joined as
// `vrp` exactly as the catalogue joins them, the WHERE a plain chain of AND
// holding the list's own test of an open bill as one of its conditions)
// gains " AND v1.<key> IN (SELECT FInterID FROM t_ZetOpenBill WHERE
// FTranType=<type>)": every bill that passes the test is in that table, which
// the schema's triggers keep and verify checks, so the answer is the same and
// SQLite reads the open bills instead of every dated one. Such a text keeps
// its literals (it is cached by its whole text, not by shape).
//
// The first, last, previous or next bill under a right on customers,
// suppliers or accounts ("SELECT ISNULL(MIN|MAX(v1.key), d) ... FROM <bill table> v1 ...
// LEFT JOIN <base table> tN ON v1.<item>=tN.<base key> ... WHERE <a chain of
// AND>" where some of the conditions read tN alone, for the bill tables and
// item columns the schema indexes by item) is answered in stages: the
// statement over the first 16, then 256 bills of the walk; then the distinct
// items through that index, the last (first) bill of each item whose base
// row passes those conditions and of the bills with no item, and the
// statement walked from the best of those.
// Each stage repeats the statement whole, so the answer is the statement's
// own; a user who sees few bills or none no longer costs a walk of them all.
//
// CharIndex is not rewritten: the database registers a function of that name
// (case-blind, 1-based, 0 when not found). Anything outside the subset it
// knows is refused with an AutomationError(err::kDatabaseError) whose text
// names the construct: variables (@x), temporary tables (#t), old-style outer
// joins (*=, =*), Unicode literals (N'...'), table hints (WITH (...)), words
// only SQL Server knows (NOLOCK, DECLARE, EXEC, MERGE, OUTPUT, COLLATE ...),
// TOP outside the head of a SELECT, a statement that does not begin with
// SELECT, INSERT, UPDATE or DELETE, and a call of any function both dialects
// do not share (the shared ones: count, sum, min, max, avg, abs, upper,
// lower, coalesce, nullif, round, ltrim, rtrim, replace, substring, cast,
// charindex).

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
