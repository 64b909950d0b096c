#include "host/gateway.hpp"
#include "pending/pending.hpp"
#include "pending/todo_positions.hpp"

namespace zet {

std::string GetAlarmCondition(Platform& platform, int32_t position) {
  const ToDoPosition* entry = FindToDoPosition(position);
  if (entry == nullptr || entry->alarm_key.empty()) return "";
  const std::string days =
      std::to_string(CLng(Variant::String(ReadSysValue(platform, "IC", std::string(entry->alarm_key), "0"))));
  return std::string(entry->alarm_head) + days + std::string(entry->alarm_tail);
}

}  // namespace zet
