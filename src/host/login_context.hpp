#pragma once

#include <string>
#include <string_view>

#include "host/platform.hpp"

namespace zet {

inline constexpr std::string_view kSharePropsProgId = "ZetPropsMgr.ShareProps";

// The named shared property of the current process, as the host's
// shared-properties service hands it out: an object reference or a value.
// A fresh service object per request; errors pass to the caller.
Variant GetShareProps(Platform& platform, std::string_view name);

// The whole context property string ("UserID=25;..."). Errors pass to the
// caller.
std::string GetPropsString(Platform& platform);

// The value of `key` in the context property string, upper-cased, or "" when
// there is none. Never fails.
std::string GetPropValue(Platform& platform, std::string_view key) noexcept;

// The pure text part of GetPropValue, for a property string already fetched.
std::string FindPropValue(std::string_view props, std::string_view key);

}  // namespace zet
