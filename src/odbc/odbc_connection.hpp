#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "embedded/host_objects.hpp"

namespace zet::odbc {

// The environment variable whose value, when set, is added to the connection
// string as the password: a password never stands on a command line.
inline constexpr const char* kPasswordVariable = "ZETMOVEBILL_ODBC_PASSWORD";

// Whether a connection string names a password itself (PWD= or PASSWORD=).
bool CarriesPassword(std::string_view connection);

// Connects as SQLDriverConnect does with `connection` (a "DSN=name" alone
// will do), with ";PWD={password}" added when `password` is not empty.
// What the driver calls its database decides the dialect: SQLite gets the
// component's statements through the T-SQL adapter, any other database
// (SQL Server) gets them as written. Raises embedded::DatabaseUnavailable
// with one line, "cannot connect through ODBC: SQLSTATE ...: <driver's
// text>", when the driver refuses; no text it raises shows the password.
std::unique_ptr<embedded::Connection> Connect(std::string_view connection, const std::string& password);

// Raises AutomationError unless `tsql` is one statement that only reads: it
// begins with SELECT and holds no word that would begin or make a write or a
// command (INTO, EXEC, a statement keyword ...) outside its string literals
// and quoted names.
void RequireOneRead(std::string_view tsql);

// A statement in SQLite's dialect with each CharIndex(needle, haystack[,
// start]) spelt in SQLite's built-in functions, answering what the embedded
// database's own CharIndex answers: case-blind for ASCII letters, positions
// in characters, 0 for an empty needle, NULL when either text is NULL.
std::string RewriteCharIndex(std::string_view statement);

}  // namespace zet::odbc
