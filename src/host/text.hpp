#pragma once

#include <string>
#include <string_view>

namespace zet {

// Carriage return and line feed: the line break of every statement the
// component sends.
inline constexpr std::string_view kCrLf = "\r\n";

// ASCII case folding. Names, keywords and member names are matched without
// regard to case the way the host does it: only A to Z and a to z, whatever
// the locale, every other byte (UTF-8 included) left alone.
constexpr char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

inline std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

constexpr bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  // Names mostly come spelt as they are registered: a byte that matches as
  // it stands needs no folding.
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

// The first position of `pattern` in `text` without regard to case, or npos.
constexpr size_t FindIgnoreCase(std::string_view text, std::string_view pattern, size_t from = 0) {
  if (pattern.size() > text.size()) return std::string_view::npos;
  for (size_t i = from; i + pattern.size() <= text.size(); ++i)
    if (EqualsIgnoreCase(text.substr(i, pattern.size()), pattern)) return i;
  return std::string_view::npos;
}

}  // namespace zet
