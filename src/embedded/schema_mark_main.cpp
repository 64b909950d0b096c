// Writes the header that holds the mark of this build's schema script, so
// that opening a file compares a number instead of building the script.
#include <cstdio>
#include <string>

#include "embedded/schema.hpp"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string text =
      "#pragma once\n#include <cstdint>\nnamespace zet::embedded {\ninline constexpr uint32_t "
      "kBuiltScriptMark = " +
      std::to_string(zet::embedded::ScriptMark(zet::embedded::SchemaScript())) + "u;\n}\n";
  std::FILE* file = std::fopen(argv[1], "w");
  const bool written = file != nullptr && std::fputs(text.c_str(), file) >= 0;
  return file != nullptr && std::fclose(file) == 0 && written ? 0 : 1;
}
