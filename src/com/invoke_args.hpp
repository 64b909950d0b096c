#pragma once

#include <windows.h>
// The COM headers build on <windows.h>.
#include <oaidl.h>

#include <array>

#include "owners.hpp"

namespace zet::com {

inline constexpr size_t kMaxParams = 3;

// The parameters of a member as the type library declares them.
struct MemberShape {
  DISPID id;
  UINT params;
  UINT required;
};
// The shape of the member `id`, or null for none of _clsMoveBill's.
const MemberShape* FindMember(DISPID id);

// The arguments of one Invoke in parameter order; null for a parameter left
// out. `positions` keeps each one's index in rgvarg for puArgErr.
struct Arranged {
  std::array<VARIANT*, kMaxParams> args{};
  std::array<UINT, kMaxParams> positions{};
};

// Checks the client's DISPPARAMS against the member's shape and every pointer
// they carry, and arranges the arguments; names the bad one in `arg_err`.
HRESULT Arrange(const DISPPARAMS* params, const MemberShape& shape, Arranged& out, UINT* arg_err);

// A Long parameter from whatever the client passed.
HRESULT ReadLong(const VARIANT* arg, LCID lcid, LONG& value);

// sInfo: declared BSTR* in/out. A client may pass a String variable
// (VT_BYREF|VT_BSTR), a Variant variable (VT_BYREF|VT_VARIANT, what VBScript
// passes for every variable) or a plain value; a variable gets the text back.
class TextInOut {
 public:
  HRESULT Prepare(VARIANT* arg, LCID lcid);
  BSTR* Target() { return target_; }
  // A Variant variable whose text the method changed takes the new text.
  void Finish();

 private:
  BSTR* target_ = nullptr;
  Bstr local_;
  BSTR given_ = nullptr;
  VARIANT* variable_ = nullptr;
};

// ABar: declared IDispatch** in/out, optional. Accepts an Object variable, a
// Variant variable holding an object or nothing, an object by value, Nothing,
// Empty, Null, or the argument left out.
class ObjectInOut {
 public:
  HRESULT Prepare(VARIANT* arg);
  IDispatch** Target() { return target_; }
  // A Variant variable whose object the method replaced takes the new one.
  void Finish();

 private:
  IDispatch** target_ = nullptr;
  ComPtr<IDispatch> local_;
  IDispatch* given_ = nullptr;
  VARIANT* variable_ = nullptr;
};

}  // namespace zet::com
