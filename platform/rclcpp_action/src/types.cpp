#include "rclcpp_action/types.hpp"

#include <cstdio>

namespace rclcpp_action
{

std::string to_string(const GoalUUID & goal_id)
{
  std::string text;
  text.reserve(2 * goal_id.size());
  char byte_text[3];
  for (const uint8_t byte : goal_id) {
    std::snprintf(byte_text, sizeof(byte_text), "%02x", byte);
    text += byte_text;
  }
  return text;
}

}  // namespace rclcpp_action
