#include "host/login_context.hpp"

#include "host/error.hpp"
#include "host/text.hpp"

namespace zet {

Variant GetShareProps(Platform& platform, std::string_view name) {
  Variant process_id = Variant::Long(platform.CurrentProcessId());
  Variant property_name = Variant::String(std::string(name));
  ObjectRef share_props = platform.CreateObject(kSharePropsProgId);
  Argument args[] = {Argument::ByRef(process_id), Argument::ByRef(property_name)};
  const Variant first = share_props->Call("GetProperty", args);
  // The service is asked twice: once to learn whether the property is an
  // object, once more to take it as an object reference or as a value.
  Argument again[] = {Argument::ByRef(process_id), Argument::ByRef(property_name)};
  Variant kept = share_props->Call("GetProperty", again);
  // Taking an object reference from something that is no object fails as
  // the assignment would.
  if (first.IsObject() && !kept.IsObject()) RaiseRuntimeError(err::kTypeMismatch);
  return kept;
}

std::string GetPropsString(Platform& platform) {
  return CStr(GetShareProps(platform, "PropsString"));
}

namespace {

// Character positions as the host counts them: UTF-16 code units, 1-based.
size_t Utf16Position(std::string_view utf8, size_t byte_offset) {
  size_t units = 0;
  for (size_t i = 0; i < byte_offset && i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if ((c & 0xC0) == 0x80) continue;  // continuation byte
    units += (c >= 0xF0) ? 2 : 1;      // four-byte sequences are surrogate pairs
  }
  return units + 1;
}

// Positions are held in 16-bit integers; one that does not fit makes the
// lookup give up.
constexpr size_t kMaxPosition = 32767;

}  // namespace

std::string FindPropValue(std::string_view props, std::string_view key) {
  std::string search(props);
  if (search.empty() || search.back() != ';') search += ';';
  const std::string pattern = std::string(key) + "=";

  const size_t at = FindIgnoreCase(search, pattern);
  if (at == std::string_view::npos || Utf16Position(search, at) > kMaxPosition) return "";
  std::string_view rest = std::string_view(search).substr(at);

  const size_t semicolon = rest.find(';');
  if (semicolon == std::string_view::npos || Utf16Position(rest, semicolon) > kMaxPosition) return "";
  std::string_view pair = rest.substr(0, semicolon);

  return AsciiUpper(pair.substr(pattern.size() <= pair.size() ? pattern.size() : pair.size()));
}

std::string GetPropValue(Platform& platform, std::string_view key) noexcept {
  try {
    std::string props;
    try {
      props = GetPropsString(platform);
    } catch (const AutomationError&) {
      // A missing service or property reads as an empty property string.
    }
    return FindPropValue(props, key);
  } catch (...) {
    return "";
  }
}

}  // namespace zet
