#pragma once

#include <windows.h>
// The COM headers build on <windows.h>.
#include <oleauto.h>
#include <wrl/client.h>

#include <utility>

namespace zet::com {

// Every COM reference the component holds is a ComPtr; a reference handed to
// a caller leaves it by Detach or CopyTo.
using Microsoft::WRL::ComPtr;

// Owns one automation string.
class Bstr {
 public:
  Bstr() = default;
  // Takes ownership of `text`.
  explicit Bstr(BSTR text) : text_(text) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : text_(other.Detach()) {}
  Bstr& operator=(Bstr&& other) noexcept {
    Reset(other.Detach());
    return *this;
  }
  ~Bstr() { SysFreeString(text_); }

  BSTR Get() const { return text_; }
  // For a callee that may replace the string in place, as an in/out BSTR*
  // parameter does (freeing the old one).
  BSTR* InOut() { return &text_; }
  BSTR Detach() { return std::exchange(text_, nullptr); }
  void Reset(BSTR text = nullptr) {
    if (text != text_) SysFreeString(text_);
    text_ = text;
  }

 private:
  BSTR text_ = nullptr;
};

// Owns one VARIANT and clears it on the way out.
class VariantHolder {
 public:
  VariantHolder() { VariantInit(&value_); }
  VariantHolder(const VariantHolder&) = delete;
  VariantHolder& operator=(const VariantHolder&) = delete;
  ~VariantHolder() { VariantClear(&value_); }
  VARIANT* get() { return &value_; }
  const VARIANT* get() const { return &value_; }
  VARIANT& operator*() { return value_; }
  const VARIANT& operator*() const { return value_; }
  VARIANT* operator->() { return &value_; }
  // Hands the value to `out`, which must hold nothing; this one is left Empty.
  void MoveTo(VARIANT& out) {
    out = value_;
    VariantInit(&value_);
  }

 private:
  VARIANT value_;
};

// Owns the strings a callee leaves in an EXCEPINFO, whatever the outcome.
class ExcepInfo {
 public:
  ExcepInfo() = default;
  ExcepInfo(const ExcepInfo&) = delete;
  ExcepInfo& operator=(const ExcepInfo&) = delete;
  ~ExcepInfo() { Clear(); }
  EXCEPINFO* get() { return &info_; }
  EXCEPINFO& operator*() { return info_; }
  void Clear() {
    SysFreeString(info_.bstrSource);
    SysFreeString(info_.bstrDescription);
    SysFreeString(info_.bstrHelpFile);
    info_ = EXCEPINFO{};
  }

 private:
  EXCEPINFO info_{};
};

}  // namespace zet::com
