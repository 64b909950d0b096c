#pragma once

#include <string_view>

#include "host/platform.hpp"

namespace zet::com {

// The environment variable that names the diagnostic file: every message the
// component shows is also appended there as one UTF-8 line.
inline constexpr wchar_t kMessageLogVariable[] = L"ZETMOVEBILL_MESSAGE_LOG";

// The component's door to the suite over real COM: objects by ProgID, the
// process id and the message box.
class ComPlatform final : public Platform {
 public:
  ObjectRef CreateObject(std::string_view prog_id) override;
  int32_t CurrentProcessId() override;
  void ShowMessage(std::string_view text) noexcept override;
};

// The one platform of the process. One instance for every object keeps the
// per-thread creation service shared by all objects of a thread.
ComPlatform& ProcessPlatform();

// Appends `text` to the diagnostic file, if one is named; never fails.
void AppendToMessageLog(std::string_view text) noexcept;

}  // namespace zet::com
