#pragma once

#include <windows.h>
// The COM headers build on <windows.h>.
#include <oleauto.h>

#include <utility>

namespace zet::com {

// Owns one COM reference; every reference the component holds is one of
// these, and a reference handed to a caller leaves it by Detach or CopyTo.
// (MinGW's <wrl/client.h> ComPtr adds a reference in Attach, which would
// leak every object adopted that way.)
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes a reference of its own to `object`.
  ComPtr(T* object) : object_(object) {  // NOLINT: converting, as WRL's
    if (object_ != nullptr) object_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.object_) {}
  ComPtr(ComPtr&& other) noexcept : object_(other.Detach()) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  T* Get() const { return object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // For a call that hands out a new reference; the owner must be empty.
  T** GetAddressOf() { return &object_; }
  // Adopts a reference the caller already owns.
  void Attach(T* object) {
    Reset();
    object_ = object;
  }
  T* Detach() { return std::exchange(object_, nullptr); }
  void Reset() {
    if (T* object = Detach()) object->Release();
  }
  // A new reference for the caller in `*out`.
  HRESULT CopyTo(T** out) const {
    *out = ComPtr(*this).Detach();
    return S_OK;
  }

 private:
  T* object_ = nullptr;
};

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
