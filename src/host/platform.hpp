#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "host/dispatch.hpp"

namespace zet {

// The component's only door to the outside world. The Windows server
// implements it over COM, the embedded host over its own objects, and the
// tests with a scripted fake.
class Platform {
 public:
  Platform() : serial_(NextSerial()) {}
  Platform(const Platform&) = delete;
  Platform& operator=(const Platform&) = delete;
  virtual ~Platform() = default;

  // A new object of the class registered under `prog_id`. Raises
  // "ActiveX component can't create object" (429) when there is none.
  virtual ObjectRef CreateObject(std::string_view prog_id) = 0;

  // The operating system's id of the current process.
  virtual int32_t CurrentProcessId() = 0;

  // The modal message box of the error convention: the text, an OK button,
  // no caption of the component's own. Must not throw.
  virtual void ShowMessage(std::string_view text) noexcept = 0;

  // A public method of the component begins, and has ended (a method called
  // inside another counts with it). A host may let the method's reads share
  // one snapshot of its database, taken at the first of them; it lets the
  // snapshot go when the method ends, so that the next method reads what
  // others have written meanwhile.
  virtual void MethodBegins() noexcept {}
  virtual void MethodEnds() noexcept {}

  // Tells platforms apart for the per-thread module data, even when one is
  // destroyed and another is built at the same address.
  uint64_t Serial() const { return serial_; }

 private:
  static uint64_t NextSerial() {
    static std::atomic<uint64_t> counter{0};
    return ++counter;
  }
  uint64_t serial_;
};

// A platform that hands everything to another and watches the calls on the
// way: each object it makes, and each object a call on one hands back, is
// wrapped, so that Watch sees every late-bound call before it is made.
class ForwardingPlatform : public Platform {
 public:
  explicit ForwardingPlatform(Platform& inner) : inner_(inner) {}
  ~ForwardingPlatform() override;

  ObjectRef CreateObject(std::string_view prog_id) override;
  int32_t CurrentProcessId() override { return inner_.CurrentProcessId(); }
  void ShowMessage(std::string_view text) noexcept override { inner_.ShowMessage(text); }
  void MethodBegins() noexcept override { inner_.MethodBegins(); }
  void MethodEnds() noexcept override { inner_.MethodEnds(); }

  // `prog_id` names the class the object, or the object that handed it back,
  // was made as. May throw: the call then fails as if the host had failed it.
  virtual void Watch(const std::string& prog_id, std::string_view member, std::span<Argument> args) = 0;

 private:
  Platform& inner_;
};

// One public method's run, from its first statement to its return.
class MethodScope {
 public:
  explicit MethodScope(Platform& platform) noexcept : platform_(platform) { platform_.MethodBegins(); }
  ~MethodScope() { platform_.MethodEnds(); }
  MethodScope(const MethodScope&) = delete;
  MethodScope& operator=(const MethodScope&) = delete;

 private:
  Platform& platform_;
};

}  // namespace zet
